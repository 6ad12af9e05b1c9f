; A reader firmware as the CORVANT update utility finds it in the field: the
; reader options as literal-returning words (retlw, 34xx) at their fixed
; addresses, a program around them, configuration words and EEPROM data.
; Assembled by the tests with gpasm (gputils); -D gives the option values.
;
; Every block starts and ends on a four-word row, as the bootloader writes
; program memory in rows.

        processor 16f887
        #include <p16f887.inc>
        errorlevel -302         ; bank selection is done with banksel
        radix   dec

        __CONFIG _CONFIG1, _INTRC_OSC_NOCLKOUT & _WDT_OFF & _LVP_OFF & _MCLRE_ON
        __CONFIG _CONFIG2, _BOR40V & _WRT_OFF

; Option values; the customer code words are entries of the code word table.
#ifndef FACILITY
#define FACILITY 10
#endif
#ifndef RELAY_TENTHS
#define RELAY_TENTHS 50
#endif
#ifndef CF_WORD
#define CF_WORD 0
#endif
#ifndef C_WORD
#define C_WORD 0
#endif
#ifndef DF_WORD
#define DF_WORD 0
#endif
#ifndef D_WORD
#define D_WORD 0
#endif
#ifndef GF_CODE
#define GF_CODE 0
#endif
#ifndef G_CODE
#define G_CODE 0
#endif
#ifndef A_WORD
#define A_WORD 0
#endif
#ifndef B_WORD
#define B_WORD 0
#endif

; Pads the block to the end of its four-word row.
EndRow  macro
        while ($ & 3) != 0
        nop
        endw
        endm

        cblock  0x20
        index
        relay
        facility_lo
        facility_hi
        endc

; Reset and interrupt vectors.
        org     0x0000
        goto    Main
        EndRow
        org     0x0004
        retfie

Main:
        banksel TRISC
        clrf    TRISC           ; relay driver
        banksel PORTC
        clrf    PORTC
        movlw   0               ; a computed goto: the entry after addwf
        call    FacilityCode
        movwf   facility_lo
        movlw   1
        call    FacilityCode
        movwf   facility_hi
        movlw   2
        call    RelayTime
        movwf   relay
Loop:
        clrwdt
        goto    Loop
        EndRow

; Facility code: low byte at 0x00A1, high byte at 0x00A2.
        org     0x00A0
FacilityCode:
        addwf   PCL, f
        retlw   FACILITY & 0xFF
        retlw   (FACILITY >> 8) & 0xFF
        EndRow

; Relay time in tenths of a second at 0x00AB.
        org     0x00A8
RelayTime:
        addwf   PCL, f
        retlw   0
        retlw   0
        retlw   RELAY_TENTHS
        EndRow

; Customer code table: CF, C, DF, D (high byte first), GF, G, A, B.
        org     0x00F0
CodeTable:
        addwf   PCL, f
        retlw   (CF_WORD >> 8) & 0xFF
        retlw   CF_WORD & 0xFF
        retlw   (C_WORD >> 8) & 0xFF
        retlw   C_WORD & 0xFF
        retlw   (DF_WORD >> 8) & 0xFF
        retlw   DF_WORD & 0xFF
        retlw   (D_WORD >> 8) & 0xFF
        retlw   D_WORD & 0xFF
        retlw   GF_CODE
        retlw   G_CODE
        retlw   (A_WORD >> 8) & 0xFF
        retlw   A_WORD & 0xFF
        retlw   (B_WORD >> 8) & 0xFF
        retlw   B_WORD & 0xFF
        EndRow

; Data EEPROM: the reader's name and a version.
        org     0x2100
        de      "CORVANT", 0
        de      1, 0, 0, 0, 0, 0, 0, 0

        end
