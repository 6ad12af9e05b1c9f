#pragma once

// The application title: the main window's caption and the first part of the
// titles of its file dialogs and input boxes.
constexpr const char *kApplicationTitle = "CORVANT Firmware Update Utility";

// The desktop entry's id, which docks match the window with, and the icon's
// name in the desktop's theme.
constexpr const char *kDesktopFileName = "org.corvant.fwupdate";
constexpr const char *kIconName = "corvant-fwupdate";

// corvant-fwupdate --help.
constexpr const char *kUsage
    = "usage: corvant-fwupdate [ port=COMn | port=HOST[:PORT] | port=/dev/DEVICE ] [ mode=auto ]\n"
      "                        [ mode=all ] [ cf=N ] [ df=N ] [ gf=N ] [ custcode ]\n"
      "                        [ file=FILE | FILE ]\n"
      "       corvant-fwupdate --help | --version\n"
      "\n"
      "  port=PORT    the reader: COMn (1-255), HOST[:PORT] over TCP (port 10001 by\n"
      "               default) or a serial device path\n"
      "  mode=auto    download as soon as the window is up; a completed download\n"
      "               ends the program\n"
      "  mode=all     also send EEPROM data and the customer code table\n"
      "  cf=N df=N gf=N\n"
      "               customer codes (0-999, 0-9999, 0-255; 0 empties the slot);\n"
      "               they open the settings panel\n"
      "  custcode     open the settings panel (any word holding it)\n"
      "  file=FILE    the firmware file, whatever its name holds; a bare FILE too\n"
      "  /?           show this usage in a box\n"
      "\n"
      "Exit status: 1 after a completed unattended download (mode=auto), 0 otherwise.\n"
      "Settings: $XDG_CONFIG_HOME/corvant-fwupdate.ini (by default ~/.config).\n";
