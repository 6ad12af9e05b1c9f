<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>AppInfo</name>
    <message>
        <source>CORVANT Firmware Update Utility</source>
        <translation>CORVANT Firmware-Update-Programm</translation>
    </message>
</context>
<context>
    <name>Application</name>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Error: invalid CF customer code</source>
        <translation>Fehler: ungültiger CF-Kundencode</translation>
    </message>
    <message>
        <source>Error: invalid DF customer code</source>
        <translation>Fehler: ungültiger DF-Kundencode</translation>
    </message>
    <message>
        <source>Error: invalid GF customer code</source>
        <translation>Fehler: ungültiger GF-Kundencode</translation>
    </message>
    <message>
        <source>Usage: %1 [ port=COMn ] [ mode=AUTO ] [ mode=ALL ] [ filename.hex ]</source>
        <translation>Aufruf: %1 [ port=COMn ] [ mode=AUTO ] [ mode=ALL ] [ dateiname.hex ]</translation>
    </message>
</context>
<context>
    <name>DownloadEngine</name>
    <message>
        <source>Replies out of step with the messages sent</source>
        <translation>Antworten passen nicht zu den gesendeten Nachrichten</translation>
    </message>
    <message>
        <source>WinSock Error: %1 %2</source>
        <translation>WinSock-Fehler: %1 %2</translation>
    </message>
    <message>
        <source>Connecting...</source>
        <translation>Verbindung wird aufgebaut...</translation>
    </message>
    <message>
        <source>Error: could not open communication port </source>
        <translation>Fehler: Kommunikationsport kann nicht geöffnet werden: </translation>
    </message>
    <message>
        <source>Connected</source>
        <translation>Verbunden</translation>
    </message>
    <message>
        <source>WinSock connection closed</source>
        <translation>WinSock-Verbindung geschlossen</translation>
    </message>
    <message>
        <source>Connection to %1 lost</source>
        <translation>Verbindung zu %1 verloren</translation>
    </message>
    <message>
        <source>No connection to %1 within %2 s</source>
        <translation>Keine Verbindung zu %1 innerhalb von %2 s</translation>
    </message>
    <message>
        <source>No answer from the bootloader within %1 s</source>
        <translation>Keine Antwort vom Bootloader innerhalb von %1 s</translation>
    </message>
    <message>
        <source>Searching for bootloader </source>
        <translation>Suche nach Bootloader </translation>
    </message>
    <message>
        <source>Download cancelled</source>
        <translation>Übertragung abgebrochen</translation>
    </message>
    <message>
        <source>Download completed</source>
        <translation>Übertragung abgeschlossen</translation>
    </message>
    <message>
        <source>Downloading, please wait ...</source>
        <translation>Übertragung läuft, bitte warten ...</translation>
    </message>
    <message>
        <source>Cancelling...</source>
        <translation>Wird abgebrochen...</translation>
    </message>
    <message>
        <source>Download successfully completed</source>
        <translation>Übertragung erfolgreich abgeschlossen</translation>
    </message>
    <message>
        <source>Warning: download completed, but no records have been sent</source>
        <translation>Warnung: Übertragung abgeschlossen, aber es wurden keine Datensätze gesendet</translation>
    </message>
    <message>
        <source>Write failed</source>
        <translation>Schreiben fehlgeschlagen</translation>
    </message>
    <message>
        <source>Write failed (data not accepted)</source>
        <translation>Schreiben fehlgeschlagen (Daten nicht angenommen)</translation>
    </message>
    <message>
        <source>Communication timeout</source>
        <translation>Zeitüberschreitung der Kommunikation</translation>
    </message>
</context>
<context>
    <name>DownloadQuestions</name>
    <message>
        <source>Are you sure to abort the download?</source>
        <translation>Möchten Sie die Übertragung wirklich abbrechen?</translation>
    </message>
</context>
<context>
    <name>FormMain</name>
    <message>
        <source>File:</source>
        <translation>Datei:</translation>
    </message>
    <message>
        <source>« no file selected »</source>
        <translation>« keine Datei ausgewählt »</translation>
    </message>
    <message>
        <source>Click to select a firmware file</source>
        <translation>Klicken, um eine Firmware-Datei auszuwählen</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Port:</translation>
    </message>
    <message>
        <source>Download customer codes</source>
        <translation>Kundencodes übertragen</translation>
    </message>
    <message>
        <source>This will overwrite the customer codes in the reader</source>
        <translation>Überschreibt die Kundencodes im Leser</translation>
    </message>
    <message>
        <source>Download EEPROM data</source>
        <translation>EEPROM-Daten übertragen</translation>
    </message>
    <message>
        <source>&amp;Download</source>
        <translation>&amp;Übertragen</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
</context>
<context>
    <name>GuiDialogs</name>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>%1 already exists.
Do you want to replace it?</source>
        <translation>%1 ist bereits vorhanden.
Möchten Sie die Datei ersetzen?</translation>
    </message>
</context>
<context>
    <name>LoadReport</name>
    <message>
        <source>the Base64 text is not whole groups of four characters</source>
        <translation>der Base64-Text besteht nicht aus ganzen Gruppen von vier Zeichen</translation>
    </message>
    <message>
        <source>the encrypted text holds no data</source>
        <translation>der verschlüsselte Text enthält keine Daten</translation>
    </message>
    <message>
        <source>%1 lines in %2 bytes: mostly empty lines, which no firmware file is</source>
        <translation>%1 Zeilen in %2 Bytes: fast nur Leerzeilen, das ist keine Firmware-Datei</translation>
    </message>
    <message>
        <source>line %1 holds a zero byte</source>
        <translation>Zeile %1 enthält ein Nullbyte</translation>
    </message>
    <message>
        <source>the byte count is not hexadecimal</source>
        <translation>die Byteanzahl ist nicht hexadezimal</translation>
    </message>
    <message>
        <source>the line is %1 characters long, its byte count %2 calls for %3</source>
        <translation>die Zeile ist %1 Zeichen lang, ihre Byteanzahl %2 verlangt %3</translation>
    </message>
    <message>
        <source>the address is not hexadecimal</source>
        <translation>die Adresse ist nicht hexadezimal</translation>
    </message>
    <message>
        <source>the record type is not hexadecimal</source>
        <translation>der Satztyp ist nicht hexadezimal</translation>
    </message>
    <message>
        <source>record type %1 is not accepted (00, 01, 02 or 04)</source>
        <translation>Satztyp %1 wird nicht angenommen (00, 01, 02 oder 04)</translation>
    </message>
    <message>
        <source>checksum %1, the record&apos;s bytes call for %2</source>
        <translation>Prüfsumme %1, die Bytes des Datensatzes verlangen %2</translation>
    </message>
    <message>
        <source>not hexadecimal</source>
        <translation>nicht hexadezimal</translation>
    </message>
    <message>
        <source>the record holds characters that are not hexadecimal digits</source>
        <translation>der Datensatz enthält Zeichen, die keine Hexadezimalziffern sind</translation>
    </message>
    <message>
        <source>a data record with an odd byte count (%1)</source>
        <translation>ein Datensatz mit ungerader Byteanzahl (%1)</translation>
    </message>
    <message>
        <source>cannot read the file: %1</source>
        <translation>die Datei kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>the file is larger than %1 MiB</source>
        <translation>die Datei ist größer als %1 MiB</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>die Datei ist leer</translation>
    </message>
    <message>
        <source>the first line names encryption but no encrypted text follows</source>
        <translation>die erste Zeile nennt eine Verschlüsselung, aber es folgt kein verschlüsselter Text</translation>
    </message>
    <message>
        <source>the encrypted text cannot be deciphered: %1</source>
        <translation>der verschlüsselte Text lässt sich nicht entschlüsseln: %1</translation>
    </message>
    <message>
        <source>line %1%2: a zero byte, where a firmware file holds only text</source>
        <translation>Zeile %1%2: ein Nullbyte, wo eine Firmware-Datei nur Text enthält</translation>
    </message>
    <message>
        <source> of the deciphered text</source>
        <translation> des entschlüsselten Textes</translation>
    </message>
    <message>
        <source>not enough memory to load the file</source>
        <translation>nicht genug Speicher, um die Datei zu laden</translation>
    </message>
    <message>
        <source>no line begins with &apos;:&apos;</source>
        <translation>keine Zeile beginnt mit &apos;:&apos;</translation>
    </message>
    <message>
        <source>line %1%2: %3</source>
        <translation>Zeile %1%2: %3</translation>
    </message>
    <message>
        <source>no file name</source>
        <translation>kein Dateiname</translation>
    </message>
</context>
<context>
    <name>PanelSettings</name>
    <message>
        <source>Customer code(s)</source>
        <translation>Kundencode(s)</translation>
    </message>
    <message>
        <source>Save plain</source>
        <translation>Unverschlüsselt speichern</translation>
    </message>
    <message>
        <source>Save encrypted</source>
        <translation>Verschlüsselt speichern</translation>
    </message>
    <message>
        <source>Print sticker</source>
        <translation>Aufkleber drucken</translation>
    </message>
    <message>
        <source>Change NiceLabel printer settings</source>
        <translation>NiceLabel-Druckereinstellungen ändern</translation>
    </message>
    <message>
        <source>Relay time</source>
        <translation>Relaiszeit</translation>
    </message>
    <message>
        <source>Relay time in range from 1 - 25 seconds</source>
        <translation>Relaiszeit im Bereich von 1 - 25 Sekunden</translation>
    </message>
    <message>
        <source>Facility code</source>
        <translation>Anlagencode</translation>
    </message>
    <message>
        <source>Facility code in range from 0 - 65535</source>
        <translation>Anlagencode im Bereich von 0 - 65535</translation>
    </message>
</context>
<context>
    <name>SafeFile</name>
    <message>
        <source>%1 is a symbolic link owned by another user in a shared folder</source>
        <translation>%1 ist ein symbolischer Link eines anderen Benutzers in einem gemeinsamen Ordner</translation>
    </message>
    <message>
        <source>%1 is a loop of symbolic links</source>
        <translation>%1 ist eine Schleife aus symbolischen Links</translation>
    </message>
    <message>
        <source>%1 is a symbolic link to nothing</source>
        <translation>%1 ist ein symbolischer Link ins Leere</translation>
    </message>
    <message>
        <source>%1 is not a regular file</source>
        <translation>%1 ist keine reguläre Datei</translation>
    </message>
    <message>
        <source>%1 is read-only</source>
        <translation>%1 ist schreibgeschützt</translation>
    </message>
    <message>
        <source>%1 is not a folder</source>
        <translation>%1 ist kein Ordner</translation>
    </message>
    <message>
        <source>%1: the folder is not writable (%2)</source>
        <translation>%1: in den Ordner kann nicht geschrieben werden (%2)</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine reguläre Datei</translation>
    </message>
</context>
<context>
    <name>SerialLink</name>
    <message>
        <source>%1: in use by another program (pid %2)</source>
        <translation>%1: von einem anderen Programm belegt (PID %2)</translation>
    </message>
    <message>
        <source>%1: in use by another program</source>
        <translation>%1: von einem anderen Programm belegt</translation>
    </message>
    <message>
        <source>%1: permission denied: add the user to the dialout group</source>
        <translation>%1: Zugriff verweigert: den Benutzer in die Gruppe dialout aufnehmen</translation>
    </message>
    <message>
        <source>%1 names no serial device</source>
        <translation>%1 bezeichnet keine serielle Schnittstelle</translation>
    </message>
</context>
<context>
    <name>Sticker</name>
    <message>
        <source>Error: OpenLabel failed (%1)</source>
        <translation>Fehler: OpenLabel fehlgeschlagen (%1)</translation>
    </message>
    <message>
        <source>Error: SetVariable failed (%1)</source>
        <translation>Fehler: SetVariable fehlgeschlagen (%1)</translation>
    </message>
    <message>
        <source>Error: PrintLabel failed</source>
        <translation>Fehler: PrintLabel fehlgeschlagen</translation>
    </message>
    <message>
        <source>  -  Select NiceLabel file</source>
        <translation>  -  NiceLabel-Datei auswählen</translation>
    </message>
    <message>
        <source>NiceLabel file (*.lbl);;Any file (*)</source>
        <translation>NiceLabel-Datei (*.lbl);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>  -  Select variable name</source>
        <translation>  -  Variablennamen auswählen</translation>
    </message>
    <message>
        <source>First variable name (used for firmware version)</source>
        <translation>Erster Variablenname (für die Firmware-Version)</translation>
    </message>
    <message>
        <source>Second variable name (used for customer codes)</source>
        <translation>Zweiter Variablenname (für die Kundencodes)</translation>
    </message>
</context>
<context>
    <name>TFormLogging</name>
    <message>
        <source>Logging</source>
        <translation>Protokoll</translation>
    </message>
</context>
<context>
    <name>TFormMain</name>
    <message>
        <source>Version: </source>
        <translation>Version: </translation>
    </message>
</context>
<context>
    <name>UpdateSession</name>
    <message>
        <source>Invalid file format or hex file corrupt</source>
        <translation>Ungültiges Dateiformat oder Hex-Datei beschädigt</translation>
    </message>
    <message>
        <source>  -  Open hex file</source>
        <translation>  -  Hex-Datei öffnen</translation>
    </message>
    <message>
        <source>Hex file (*.hex);;Any file (*)</source>
        <translation>Hex-Datei (*.hex);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>No customer codes specified.<byte value="xd"/>Are you sure you want to save to file?</source>
        <translation>Keine Kundencodes angegeben.<byte value="xd"/>Möchten Sie trotzdem in eine Datei speichern?</translation>
    </message>
    <message>
        <source>Hex file (*.hex)</source>
        <translation>Hex-Datei (*.hex)</translation>
    </message>
    <message>
        <source>Unable to write to %1</source>
        <translation>%1 kann nicht geschrieben werden</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 gespeichert</translation>
    </message>
</context>
<context>
    <name>ValueTests</name>
    <message>
        <source>code out of range (%1 - %2)</source>
        <translation>Code außerhalb des Bereichs (%1 - %2)</translation>
    </message>
</context>
</TS>
