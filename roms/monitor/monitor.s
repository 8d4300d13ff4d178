; The Quarzel monitor: reset, keyboard, screen, tape, booting from disk and a machine-code
; monitor in the OSI tape-format conventions, for the 2 KB monitor ROM at $F800.
; Copyright (c) 2026 the Quarzel developers. MIT licence (see LICENSE): free to use, change and
; ship, in other emulators too.

.include "../quarzel.inc"

; Zero page of the monitor.
CURPTR  = $E0           ; cursor address in video memory
CURCOL  = $E2           ; cursor column
UNDER   = $E3           ; the character the cursor covers
SRC     = $E4
DST     = $E6
MPTR    = $E8           ; monitor address
MDATA   = $EA           ; monitor data byte being typed
MMODE   = $EB           ; 0 address mode, 1 data mode
LASTKEY = $EC           ; key number seen by the last scan, 0 for none
REPCNT  = $ED           ; polls until the held key repeats (16 bits)
TMP     = $EF
STRP    = $F0           ; text being printed

; Page 2 of the monitor, beside the shared variables.
MODS    = $020C         ; row 7 of the matrix, pressed bits set
ROWSEL  = $020D
SHOWN   = $020E         ; the display format the screen is laid out for

; The disk controller: a PIA for the drive's control lines, an ACIA for its data.
PIAA    = $C000         ; port A, drive status (or its direction register)
PIACA   = $C001         ; control A: 4 shows the port, 0 the direction register
PIAB    = $C002         ; port B, drive control (or its direction register)
PIACB   = $C003
DACIA   = $C010         ; status (bit 0: byte received)
DACIADAT = $C011

CR      = $0D
LF      = $0A
CURSOR  = '_'
REPEAT_FIRST = 400      ; polls of about 1.2 ms before a held key repeats
REPEAT_NEXT  = 60

.segment "CODE"

; --- reset -------------------------------------------------------------------

RESET:  cld
        sei
        ldx #$FF
        txs
        lda #0
        sta LOADFLAG
        sta SAVEFLAG
        sta LASTKEY
        sta CTRLCOFF
        lda #$FF
        sta SHOWN
        ldx #9
:       lda DEFVEC,x
        sta INVEC,x
        dex
        bpl :-
        lda #<RTISTUB
        sta NMIVEC
        sta IRQVEC
        lda #>RTISTUB
        sta NMIVEC+1
        sta IRQVEC+1
        lda #$03                ; ACIA master reset, then 8 data bits, 2 stop bits, clock / 16
        sta ACIA
        lda #$11
        sta ACIA
        jsr LAYOUT
        ldx #<BANNER
        ldy #>BANNER
ASK:    jsr PRSTR
CHOOSE: jsr DOINCH
        and #$DF                ; upper case
        cmp #'D'
        beq @disk
        cmp #'C'
        beq @cold
        cmp #'W'
        beq @warm
        cmp #'M'
        bne CHOOSE
        jsr ECHOLN
        jmp DOMON
@cold:  jsr ECHOLN
        jmp BASIC_COLD
@warm:  jsr ECHOLN
        jmp BASIC_WARM
@disk:  jsr ECHOLN
        jsr BOOT                ; back only when no disk boots
        ldx #<PROMPT
        ldy #>PROMPT
        jmp ASK

; Prints the chosen letter and a new line.
ECHOLN: jsr DOOUT
CRLF:   lda #CR
        jsr DOOUT
        lda #LF
        jmp DOOUT

; Prints the zero-terminated text at X (low), Y (high).
PRSTR:  stx STRP
        sty STRP+1
        ldy #0
@next:  lda (STRP),y
        beq @done
        jsr DOOUT
        iny
        bne @next
@done:  rts

NMI:    jmp (NMIVEC)
IRQ:    jmp (IRQVEC)
RTISTUB:
        rti

; --- screen --------------------------------------------------------------------

; Clears the screen and puts the cursor at the top left.
DOCLR:  txa
        pha
        tya
        pha
        lda #<VIDEO
        sta CURPTR
        sta DST
        lda #>VIDEO
        sta CURPTR+1
        sta DST+1
        ldx SCRP
        lda #' '
        ldy #0
@fill:  sta (DST),y
        iny
        bne @fill
        inc DST+1
        dex
        bne @fill
        lda #0
        sta CURCOL
        jsr SHOWCUR
        pla
        tay
        pla
        tax
        rts

; When the display format has changed (the Screen menu, or a program writing the 600 board's
; register), lays the screen out anew for it on a clear screen. Changes X.
LAYOUT: lda FORMAT
        and #3
        cmp SHOWN
        beq @same
        sta SHOWN
        tax
        lda WIDTHS,x
        sta SCRW
        lda HEIGHTS,x
        sta SCRP
        jsr DOCLR
@same:  rts

SHOWCUR:
        ldy #0
        lda (CURPTR),y
        sta UNDER
        lda #CURSOR
        sta (CURPTR),y
        rts

HIDECUR:
        ldy #0
        lda UNDER
        sta (CURPTR),y
        rts

; Prints A on the screen, and to the tape while SAVE is on. Preserves A, X and Y.
DOOUT:  pha
        lda SAVEFLAG
        beq :+
        pla
        pha
        sta ACIADAT
:       pla
; Prints A on the screen only. Preserves A, X and Y.
DOSCR:  pha
        sta TMP
        txa
        pha
        tya
        pha
        jsr HIDECUR
        jsr LAYOUT
        lda TMP
        cmp #CR
        beq @cr
        cmp #LF
        beq @lf
        cmp #$08
        beq @back
        cmp #$7F
        beq @back
        cmp #$0C
        beq @clear
        cmp #' '
        bcc @show
        ldy #0
        sta (CURPTR),y
        inc CURPTR
        bne :+
        inc CURPTR+1
:       inc CURCOL
        lda CURCOL
        cmp SCRW
        bne @show
        lda #0
        sta CURCOL
        jsr BOTTOM
        jmp @show
@cr:    sec
        lda CURPTR
        sbc CURCOL
        sta CURPTR
        bcs :+
        dec CURPTR+1
:       lda #0
        sta CURCOL
        beq @show
@lf:    clc
        lda CURPTR
        adc SCRW
        sta CURPTR
        bcc :+
        inc CURPTR+1
:       jsr BOTTOM
        jmp @show
@back:  lda CURCOL
        beq @show
        dec CURCOL
        lda CURPTR
        bne :+
        dec CURPTR+1
:       dec CURPTR
        lda #' '
        ldy #0
        sta (CURPTR),y
        jmp @show
@clear: jsr DOCLR
        jmp @out
@show:  jsr SHOWCUR
@out:   pla
        tay
        pla
        tax
        pla
        rts

; When the cursor has left the screen, scroll one line up and put it back on the last line.
BOTTOM: ldx SCRP
        txa
        clc
        adc #>VIDEO
        cmp CURPTR+1
        beq :+
        bcs @done
:       lda #<VIDEO
        sta DST
        clc
        adc SCRW
        sta SRC
        lda #>VIDEO
        sta DST+1
        sta SRC+1
        ldy #0
@copy:  lda (SRC),y
        sta (DST),y
        iny
        bne @copy
        inc SRC+1
        inc DST+1
        dex
        bne @copy
        sec                     ; the cursor moves up with the text
        lda CURPTR
        sbc SCRW
        sta CURPTR
        bcs :+
        dec CURPTR+1
:       lda #0                  ; DST = the start of the last line
        sec
        sbc SCRW
        sta DST
        dec DST+1
        lda #' '
        ldy #0
@blank: sta (DST),y
        iny
        cpy SCRW
        bne @blank
@done:  rts

; --- keyboard ------------------------------------------------------------------

; Scans rows 0 to 6: A = key number (row * 8 + column + 1, column 0 = bit 7) or 0;
; MODS = the pressed keys of row 7.
SCAN:   lda #$FE
        sta KEYBD
        lda KEYBD
        eor #$FF
        sta MODS
        ldx #0
        lda #$7F
@row:   sta ROWSEL
        sta KEYBD
        lda KEYBD
        eor #$FF
        bne @found
        inx
        cpx #7
        beq @none
        sec
        lda ROWSEL
        ror a
        bne @row
@none:  lda #0
        rts
@found: ldy #0
@bit:   asl a
        bcs @got
        iny
        bne @bit
@got:   sty TMP
        txa
        asl a
        asl a
        asl a
        sec
        adc TMP
        rts

; The character of key number A under the modifiers in MODS, or 0.
KEYCHAR:
        tax
        lda MODS
        and #$06                ; either shift
        bne @shift
        lda PLAIN-1,x
        jmp @case
@shift: lda SHIFTED-1,x
@case:  cmp #'A'
        bcc @ctrl
        cmp #'Z'+1
        bcs @ctrl
        tax
        lda MODS
        and #$07                ; shift or shift lock: upper case
        bne :+
        txa
        ora #$20
        tax
:       txa
@ctrl:  tax
        lda MODS
        and #$40
        beq @done
        txa
        and #$1F
        tax
@done:  txa
        rts

; The keyboard without waiting: A = character or 0, with debouncing and auto-repeat.
; Preserves X and Y.
DOKEY:  txa
        pha
        tya
        pha
        jsr SCAN
        bne @down
        lda MODS
        and #$20                ; ESC sits in row 7
        beq @up
        lda #57
@down:  cmp LASTKEY
        beq @held
        pha
        jsr DELAY
        jsr SCAN
        bne :+
        lda MODS
        and #$20
        beq :+
        lda #57
:       sta LASTKEY
        pla
        cmp LASTKEY
        bne @up
        lda #<REPEAT_FIRST
        sta REPCNT
        lda #>REPEAT_FIRST
        sta REPCNT+1
        bne @emit
@held:  lda REPCNT
        bne :+
        dec REPCNT+1
:       dec REPCNT
        lda REPCNT
        ora REPCNT+1
        bne @nothing
        lda #REPEAT_NEXT
        sta REPCNT
@emit:  lda LASTKEY
        jsr KEYCHAR
        jmp @out
@up:    lda #0
        sta LASTKEY
@nothing:
        lda #0
@out:   sta TMP
        pla
        tay
        pla
        tax
        lda TMP
        rts

; About a millisecond.
DELAY:  ldx #200
:       dex
        bne :-
        rts

; Carry set while Ctrl-C is held down, unless CTRLCOFF says no.
DOBRK:  pha
        lda CTRLCOFF
        bne @no
        lda #$FE
        sta KEYBD
        lda KEYBD
        and #$40
        bne @no
        lda #$FB
        sta KEYBD
        lda KEYBD
        and #$40
        bne @no
        pla
        sec
        rts
@no:    pla
        clc
        rts

; The defaults of LOADVEC and SAVEVEC: loading ends saving.
SETLOAD:
        pha
        lda #$FF
        sta LOADFLAG
        lda #0
        beq :+
SETSAVE:
        pha
        lda #1
:       sta SAVEFLAG
        pla
        rts

; Waits for a character: from the tape while LOAD is on (a key press ends that),
; otherwise from the keyboard. Preserves X and Y.
DOINCH: lda LOADFLAG
        beq KBDIN
        jsr DOKEY
        bne @endload
        lda ACIA
        lsr a
        bcc DOINCH
        lda ACIADAT
        and #$7F
        rts
@endload:
        lda #0
        sta LOADFLAG
        beq DOINCH
; Waits for a key: A = its character. Preserves X and Y.
KBDIN:  jsr DOKEY
        bne @got
        txa
        pha
        jsr DELAY
        pla
        tax
        jmp KBDIN
@got:   rts

; --- disk boot -----------------------------------------------------------------

; Loads the program on track 0 of the diskette in drive A and starts it. Track 0 begins
; after the index hole with the load address (high byte first) and the number of 256-byte
; pages to load there. Returns when there is no diskette to read.
BOOT:   ldy #0
        sty PIACA
        sty PIACB
        lda #$40                ; port A: bit 6 (drive select) is an output
        sta PIAA
        dey
        sty PIAB                ; port B: all outputs
        lda #4
        sta PIACA
        sta PIACB
        lda #$40                ; drive A: port A bit 6 ...
        sta PIAA
        lda #$2F                ; ... and port B bit 5; step line (bit 3) high, direction out,
        sta PIAB                ; write current and erase head off (bits 0 and 1 high)
        lda #3                  ; ACIA master reset, then 8 data bits, even parity, 1 stop bit,
        sta DACIA
        lda #$18                ; clock / 1
        sta DACIA
        ldx #80                 ; steps out to track 0, 80 at most
@seek:  lda #$02
        bit PIAA                ; bit 1 low: the head is on track 0
        beq @home
        lda #$27                ; the step line falls: one track out
        sta PIAB
        lda #$2F
        sta PIAB
        dex
        bne @seek
@none:  rts
@home:  lda #$00                ; into the index hole ...
        jsr INDEX
        bcs @none
        lda #$80                ; ... and out of it: the track starts
        jsr INDEX
        bcs @none
        jsr DISKIN              ; the load address, also the monitor's address
        sta DST+1
        sta MPTR+1
        jsr DISKIN
        sta DST
        sta MPTR
        jsr DISKIN
        tax                     ; the pages
        ldy #0
@load:  jsr DISKIN
        sta (DST),y
        iny
        bne @load
        inc DST+1
        dex
        bne @load
        jmp (MPTR)

; Polls port A until its bit 7 (low while the index hole passes) equals bit 7 of A.
; Carry set when that does not happen within 65536 polls.
INDEX:  sta TMP
        ldx #0
        ldy #0
@poll:  lda PIAA
        eor TMP
        bpl @done
        dey
        bne @poll
        dex
        bne @poll
        sec
        rts
@done:  clc
        rts

; Waits for the next byte from the disk -> A. Preserves X and Y.
DISKIN: lda DACIA
        lsr a
        bcc DISKIN
        lda DACIADAT
        rts

; --- machine-code monitor -----------------------------------------------------
;  .  address mode, hex digits shift into the address
;  /  data mode, hex digits shift into the byte
;  RETURN  stores the byte (data mode) and steps to the next address
;  G  runs the program at the address (it may return with RTS)
;  L  reads the following input from the tape until its G or a key press

DOMON:  ldx #$FF
        txs
        lda #0
        sta MMODE
        sta MDATA
MLOOP:  jsr SHOWADR
        jsr DOINCH
        cmp #'a'
        bcc :+
        and #$DF
:       cmp #'.'
        bne @slash
        lda #0
        sta MMODE
        beq MLOOP
@slash: cmp #'/'
        bne @ret
        lda #1
        sta MMODE
        lda #0
        sta MDATA
        beq MLOOP
@ret:   cmp #CR
        bne @go
        lda MMODE
        beq @step
        lda MDATA
        ldy #0
        sta (MPTR),y
        sty MDATA
@step:  inc MPTR
        bne MLOOP
        inc MPTR+1
        jmp MLOOP
@go:    cmp #'G'
        bne @load
        lda #0
        sta LOADFLAG
        jsr CRLF
        jsr @jump
        jmp DOMON
@jump:  jmp (MPTR)
@load:  cmp #'L'
        bne @hex
        lda #1
        sta LOADFLAG
        bne MLOOP
@hex:   jsr HEXVAL
        bcs MLOOP
        ldx #4
@shift: ldy MMODE
        beq @adr
        asl MDATA
        jmp @next
@adr:   asl MPTR
        rol MPTR+1
@next:  dex
        bne @shift
        ldy MMODE
        beq @adr2
        ora MDATA
        sta MDATA
        jmp MLOOP
@adr2:  ora MPTR
        sta MPTR
        jmp MLOOP

; The digit value of hex character A, carry clear; carry set for any other character.
HEXVAL: cmp #'0'
        bcc @bad
        cmp #'9'+1
        bcc @digit
        cmp #'A'
        bcc @bad
        cmp #'F'+1
        bcs @bad
        sbc #'A'-10-1           ; carry is clear here
        clc
        rts
@digit: and #$0F
        clc
        rts
@bad:   sec
        rts

; Shows "AAAA DD" (the byte stored there) or, in data mode, "AAAA/DD" (the byte being typed).
SHOWADR:
        lda #CR
        jsr DOOUT
        lda MPTR+1
        jsr PRBYTE
        lda MPTR
        jsr PRBYTE
        ldy #0
        lda MMODE
        beq :+
        lda #'/'
        jsr DOOUT
        lda MDATA
        jmp PRBYTE
:       lda #' '
        jsr DOOUT
        lda (MPTR),y
PRBYTE: pha
        lsr a
        lsr a
        lsr a
        lsr a
        jsr PRNIB
        pla
PRNIB:  and #$0F
        ora #'0'
        cmp #'9'+1
        bcc :+
        adc #6
:       jmp DOOUT

; --- entries at the addresses of the OSI monitors --------------------------------

.segment "FIXED"
.org KEYIN

; Programs written for the OSI monitors (OS-65D among them) read the keyboard here.
        jmp KBDIN

; The OSI matrix, rows 0 to 6, column 0 = bit 7; letters in upper case.
PLAIN:  .byte "1234567", 0
        .byte "890:-", $7F, 0, 0
        .byte ".LO", LF, CR, 0, 0, 0
        .byte "WERTYUI", 0
        .byte "SDFGHJK", 0
        .byte "XCVBNM,", 0
        .byte "QAZ /;P", 0
        .byte $1B               ; key number 57: ESC
SHIFTED:
        .byte "!", '"', "#$%&'", 0
        .byte "()@*=", $7F, 0, 0
        .byte ">\_", LF, CR, 0, 0, 0
        .byte "WERTYUI", 0
        .byte "SDFGHJ[", 0
        .byte "XCVB^]<", 0
        .byte "QAZ ?+P", 0
        .byte $1B               ; key number 57: ESC

; The last steps of the OSI monitors' key routine, which keyboard drivers of their own (as
; OS-65D's) jump to with the caller's X and Y pushed in that order and the key in KEYCHR:
; they return the character in A and KEYOUT, X and Y pulled.
        .res $FD8F - *, $FF
; A = the modifier row shifted right once (bits 0, 1 the shift keys, bit 5 Ctrl alone): a
; shift adds $10, or takes it off a key with bit 7 set; Ctrl alone makes a control character.
KSHIFT: tax
        and #3
        bne @shift
        ldy #$C0
        cpx #$20
        beq KADD
        ldy #0
        beq KADD
@shift: ldy #$F0
        bit KEYCHR
        bmi KADD
        ldy #$10
.assert * = $FDA7, error, "KADD must follow at $FDA7"
; Adds Y to the key (its bit 7 cleared); a blank stays a blank.
KADD:   lda KEYCHR
        and #$7F
        cmp #' '
        beq KSTORE
        sty KEYOUT
        clc
        adc KEYOUT
.assert * = $FDB7, error, "KSTORE must follow at $FDB7"
; A is the character.
KSTORE: sta KEYOUT
        pla
        tay
        pla
        tax
        lda KEYOUT
        rts
        .res $FDC8 - *, $FF
; Y = the number of the highest bit set in A, which is shifted left past it.
BITNUM: ldy #7
@next:  asl a
        bcs @done
        dey
        bpl @next
@done:  rts

; The vectors' defaults, in the order of INVEC to SAVEVEC.
DEFVEC: .word DOINCH, DOOUT, DOBRK, SETLOAD, SETSAVE

BANNER: .byte "QUARZEL MONITOR 1.0", CR, LF, CR, LF
PROMPT: .byte "D/C/W/M ?", 0

        .res MONITOR - *, $FF
        jsr DOCLR
        jmp DOMON

; By display format: 32 x 32, 64 x 16, 64 x 32 (and 64 x 16 when both bits read set).
WIDTHS: .byte 32, 64, 64, 64
HEIGHTS: .byte 4, 4, 8, 4

        .res RESTART - *, $FF
        jmp RESET
.reloc

.segment "JUMPS"
        jmp DOSCR
        jmp DOBRK
        jmp DOCLR
        .byte $FF, $FF
        jmp DOINCH
        jmp DOOUT
        jmp DOKEY
        .byte $FF, $FF
        jmp (INVEC)
        jmp (OUTVEC)
        jmp (BRKVEC)
        jmp (LOADVEC)
        jmp (SAVEVEC)

.segment "VECTORS"
        .word NMI, RESET, IRQ
