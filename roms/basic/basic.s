; Quarzel BASIC: a line-numbered floating-point BASIC for the 8 KB BASIC ROM at $A000.
; Numbers are 5 bytes: an exponent byte (0 for zero, else 128 + the power of two) and a
; 32-bit mantissa 0.1xxx whose top bit holds the sign. Strings are descriptors of 3 bytes
; (length, address) pointing into the program text or into the string space, which grows
; down from the top of memory. Variables have two significant name characters.
;
; Memory: $0222 line buffer (below it the monitor's variables and vectors), $029B string
; temporaries, $02B9 number text, $02D1 array subscripts, $02F1 digits, $0300 FOR/GOSUB stack, $0400 program, then simple variables,
; arrays, free space and strings up to the top of RAM.
; Copyright (c) 2026 the Quarzel developers. MIT licence (see LICENSE): free to use, change and
; ship, in other emulators too.

.include "../quarzel.inc"

; Zero page.
WARMJMP = $00           ; JMP WARM, where the machine's BASIC has its warm start
TXTPTR  = $A2           ; the text being executed
CURLIN  = $A4           ; the line record being executed; high byte 0 in direct mode
PTR1    = $04
PTR2    = $06
PTR3    = $08
USRJMP  = $0A           ; JMP to the routine of USR, its address at $0B
PROGEND = $0D           ; the end marker of the program (a 0 length byte)
VARTAB  = $0F           ; simple variables: 2 name bytes and 5 value bytes each
ARYTAB  = $11           ; arrays
STREND  = $13           ; the end of the arrays
FRETOP  = $15           ; the lowest string in the string space
MEMSIZ  = $17           ; the first address past usable RAM
CSP     = $19           ; the depth of the FOR/GOSUB stack
TEMPPT  = $1A           ; the depth of the string temporaries
DATPTR  = $1B           ; where READ goes on; high byte 0 before the first DATA
DATLIN  = $1D           ; the line record of DATPTR
OLDTXT  = $1F           ; where CONT goes on, high byte 0 when it cannot, and its line
OLDLIN  = $21
LINENUM = $23
LNUM    = $25           ; the number PRUNS prints
PRTCOL  = $27           ; print column
VALTYP  = $28           ; type of the value in FAC: $FF string, 0 number
QUOTE   = $29
COUNT   = $2A
CHAR    = $2B
TMP     = $2C
SEEDF   = $2E           ; the last random number, packed
VARNAM  = $34           ; its name: string names have bit 7 of the second byte set,
                        ; functions bit 7 of the first
VTYPE   = $36           ; its type: $FF string, 0 number
DSCPTR  = $37           ; a string descriptor
STRP    = $39           ; a string's address ...
STRLEN  = $3B           ; ... and length
INDEX   = $3C
DIMFLG  = $3E           ; not 0 while DIM makes an array
NULCNT  = $3F           ; NULs printed after a carriage return
FACEXP  = $40           ; the accumulator: exponent, mantissa (4), rounding byte, sign
FACM    = $41
FACEXT  = $45
FACSGN  = $46
ARGEXP  = $48           ; the operand, in the same layout
ARGM    = $49
ARGEXT  = $4D
ARGSGN  = $4E
RETADR  = $4F
LOST    = $54           ; bits lost when making an integer
DEXP    = $55           ; decimal exponent
NDIG    = $56
MULB    = $57
MUL     = $58           ; multiplier or divisor (4)
RX      = $5C           ; the remainder's top byte
QBYTE   = $5D           ; the quotient byte being made
OPNUM   = $61           ; the operator found
RELMASK = $62           ; relations: 1 less, 2 equal, 4 greater
PREC    = $63
NDIM    = $64
SIGNF   = $66
STKLVL  = $67           ; the CPU stack of the statement loop
INPTR   = $68           ; the answer being read by INPUT
GCTOP   = $6A           ; garbage collection: the top of the moved strings,
GCLIM   = $6C           ; the bound of the strings still to move,
GCBEST  = $6E           ; the highest found below it,
GCDSC   = $70           ; and its descriptor
FNPTR   = $72
TEMP1   = $74           ; packed numbers of the functions
TEMP2   = $79
TEMP3   = $7E
M16A    = $83
M16B    = $85
EXPN    = $87
LISTLO  = $88
LISTHI  = $8A
CREATE  = $8E           ; not 0: a missing simple variable is made
N2      = $8F           ; twice the number of subscripts
PROD    = $90
ALEN    = $92           ; the length of the string being made
GCLEN   = $93
GCADR   = $94
PPTR    = $96           ; the coefficients of a polynomial
PCNT    = $98
FNFLAG  = $99
FPOS    = $9A           ; the length of the text in FBUF
SAVEX   = $9B
ERRNUM  = $9C
RMODE   = $9F           ; what READVARS reads
VARPTR  = $9D           ; the value bytes of the variable found
WIDTH   = $A0           ; output starts a new line before a character past this column
COMLIM  = $A1           ; a comma from this column on starts a new line

LINEBUF = $0222         ; a typed line
LINEMAX = 120
TEMPST  = $029B         ; string temporaries, 3 bytes each
TEMPMAX = 30
FBUF    = $02B9         ; the text of a number
SUBS    = $02D1         ; the subscripts of an array element, 2 bytes each
MAXDIM  = 16
DIGITS  = $02F1         ; the 9 digits of a number being printed
CSTK    = $0300         ; FOR and GOSUB entries, the tag byte on top
PROGRAM = $0400

FORSIZE = 17            ; text (2), line (2), variable (2), limit (5), step (5), tag
GOSIZE  = 5             ; text (2), line (2), tag
STKMIN  = $40           ; the lowest S at the start of an expression; from one start to
                        ; the next, or down to the deepest routine it calls, less than 30
                        ; bytes of the stack are used
ZONE    = 14            ; the comma's print zones
ELSIZE  = 5             ; the bytes of an array element, number or string
CR      = $0D
LF      = $0A
JMPOP   = $4C

; Tokens.
T_END    = $80
T_FOR    = $81
T_NEXT   = $82
T_DATA   = $83
T_INPUT  = $84
T_DIM    = $85
T_READ   = $86
T_LET    = $87
T_GOTO   = $88
T_RUN    = $89
T_IF     = $8A
T_RESTORE = $8B
T_GOSUB  = $8C
T_RETURN = $8D
T_REM    = $8E
T_STOP   = $8F
T_ON     = $90
T_NULL   = $91
T_WAIT   = $92
T_LOAD   = $93
T_SAVE   = $94
T_DEF    = $95
T_POKE   = $96
T_PRINT  = $97
T_CONT   = $98
T_LIST   = $99
T_CLEAR  = $9A
T_NEW    = $9B
T_TAB    = $9C
T_TO     = $9D
T_FN     = $9E
T_SPC    = $9F
T_THEN   = $A0
T_NOT    = $A1
T_STEP   = $A2
T_AND    = $A3
T_OR     = $A4
T_SGN    = $A5          ; functions from here on
T_FRE    = $A9
T_LEN    = $B6           ; from here on the argument is a string
T_LEFTS  = $B9
T_MIDS   = $BB

; Error numbers: offsets into ERRCODES.
E_NF    = 0             ; NEXT without FOR
E_SN    = 2             ; syntax
E_RG    = 4             ; RETURN without GOSUB
E_OD    = 6             ; out of data
E_FC    = 8             ; illegal function call
E_OV    = 10            ; overflow
E_OM    = 12            ; out of memory
E_UL    = 14            ; undefined line
E_BS    = 16            ; bad subscript
E_DD    = 18            ; array dimensioned twice
E_DZ    = 20            ; division by zero
E_ID    = 22            ; illegal in direct mode
E_TM    = 24            ; type mismatch
E_LS    = 26            ; string too long
E_ST    = 28            ; string formula too complex
E_CN    = 30            ; cannot continue
E_UF    = 32            ; undefined function

.segment "CODE"

        jmp COLD

; --- start ------------------------------------------------------------------------

; A warm start ($A003) keeps the program and its variables; before any cold start it is one.
WARM:   cld
        lda MEMSIZ+1
        beq COLD
        jmp READY
; MEMSIZ = the first page from the program area up that does not keep what is written.
COLD:   cld
        ldy #0
        sty MEMSIZ
        lda #>PROGRAM
        sta MEMSIZ+1
@page:  inc MEMSIZ+1
        lda MEMSIZ+1
        cmp #>BASIC_COLD
        beq @top
        lda (MEMSIZ),y
        eor #$FF
        sta (MEMSIZ),y
        cmp (MEMSIZ),y
        bne @top
        eor #$FF
        sta (MEMSIZ),y
        bcs @page               ; set by the equal compare
@top:   lda #JMPOP              ; USR calls an illegal function until it is set
        sta USRJMP
        sta WARMJMP
        lda #<WARM
        sta WARMJMP+1
        lda #>WARM
        sta WARMJMP+2
        lda #<FCERR
        sta USRJMP+1
        lda #>FCERR
        sta USRJMP+2
        lda #0
        sta NULCNT
        sta PRTCOL
        sta SEEDF
        sta CURLIN+1
        sta COMLIM              ; while 0, an error in an answer asks again from here
        lda #$FF                ; and no line is broken while it asks
        sta WIDTH
        lda #$0C
        jsr OUT
; RETURN keeps all RAM; an answer must leave a page for the program and lie within RAM.
ASKMEM: ldx #MEMQ-MSGS
        jsr ASK
        bcs @width
        cpx #>(PROGRAM+$100)
        bcc ASKMEM
        clc
        sbc MEMSIZ
        txa
        sbc MEMSIZ+1
        bcs ASKMEM              ; above the top of RAM
        lda INDEX
        sta MEMSIZ
        stx MEMSIZ+1
; RETURN gives 72 columns, commas up to 56; a width of 16 to 255 puts the last comma zone
; at the last multiple of 14 in it.
@width: ldx #WIDQ-MSGS
        jsr ASK
        bcs @dflt
        cpx #0
        bne @width
        cmp #16
        bcc @width
        sta WIDTH
@mod:   sbc #ZONE               ; carry set by the compare
        bcs @mod
        adc #ZONE
        eor #$FF                ; carry set: WIDTH - (WIDTH mod 14)
        adc WIDTH
        bcs @lim
@dflt:  lda #72
        sta WIDTH
        lda #56
@lim:   sta COMLIM
        jsr DONEW
        ldx #BANNER-MSGS
        jsr PRMSG
        sec                     ; bytes free = MEMSIZ - VARTAB
        lda MEMSIZ
        sbc VARTAB
        sta LNUM
        lda MEMSIZ+1
        sbc VARTAB+1
        jsr PRUNSA
        ldx #FREE-MSGS
        jsr PRMSG

; --- the command loop ------------------------------------------------------------

; The prompt, with an empty processor stack.
READY:  ldx #$FF
        txs
        jsr FRESHLN
        lda COMLIM
        beq ASKMEM
        ldx #OKMSG-MSGS
        jsr PRMSG
MAIN:   lda #0
        sta CURLIN+1
        jsr GETLINE
        jsr TOKENIZE
        jsr ATBUF
        beq MAIN
        jsr ISDIGIT
        bcs @direct
        jsr GETLINENO
        jsr STORELINE
        beq MAIN                ; STORELINE leaves Z set
@direct:
        jsr RUNTEXT
        beq READY               ; and so does RUNTEXT

; --- line input ------------------------------------------------------------------

; Reads a line into LINEBUF, zero-terminated, 120 characters at most. RUB OUT and "_" take
; back a character, "@" cancels the line and starts a new one. RETURN ends the line, and so
; does LINE FEED after some text.
GETLINE:
        ldy #0
@key:   jsr VINPUT
        cmp #CR
        beq @done
        cmp #LF                 ; text files may end their lines in LF alone
        bne :+
        cpy #0
        bne @done
:       cmp #'@'
        bne :+
        jsr OUT
        jsr CRLF
        bcc GETLINE             ; CRLF leaves carry clear
:       cmp #$7F
        beq @back
        cmp #$08
        beq @back
        cmp #'_'
        beq @back
        cmp #' '
        bcc @key
        cpy #LINEMAX
        bcs @key
        sta LINEBUF,y
        iny
        jsr OUT
        bcs @key                ; OUT leaves carry set for a printing character
@back:  cpy #0
        beq @key
        dey
        lda #$08
        jsr OUT
        bcc @key                ; and clear for a control character
@done:  lda #0
        sta LINEBUF,y
        jmp CRLF

; Replaces keywords by tokens, in place, and upper-cases everything outside quotes. The
; text after REM, and after DATA up to the next colon, is not searched for keywords.
TOKENIZE:
        ldx #0                  ; X reads, Y writes
        ldy #0
        sty QUOTE               ; bit 0 in quotes, bit 7 after REM, bit 6 in DATA
@char:  lda LINEBUF,x
        beq @end
        sta CHAR
        cmp #'"'
        bne :+
        lda QUOTE
        eor #1
        sta QUOTE
:       lda QUOTE
        lsr a
        bcs @copy               ; in quotes
        lda CHAR
        cmp #'a'
        bcc :+
        cmp #'z'+1
        bcs :+
        and #$DF
        sta CHAR
:       lda QUOTE
        bmi @copy               ; after REM
        beq @word
        lda CHAR                ; in DATA: a colon ends it
        cmp #':'
        bne @copy
        lda #0
        sta QUOTE
        beq @copy
@word:  lda CHAR
        cmp #'?'
        bne @match
        lda #T_PRINT
        inx
        bne @put
@match: jsr MATCHKW
        bcs @copy
@put:   sta LINEBUF,y
        iny
        cmp #T_REM
        bne :+
        lda #$80
        sta QUOTE
:       cmp #T_DATA
        bne @char
        lda #$40
        sta QUOTE
        bne @char
@copy:  lda CHAR
        sta LINEBUF,y
        inx
        iny
        bne @char
@end:   sta LINEBUF,y
        rts

; Tries every keyword at LINEBUF+X, in either case. Match: carry clear, A = token, X past
; the keyword.
MATCHKW:
        stx TMP
        sty COUNT
        lda #<KEYWORDS
        sta PTR3
        lda #>KEYWORDS
        sta PTR3+1
        lda #T_END
        sta TMP+1
@word:  ldx TMP
        ldy #0
@cmp:   lda (PTR3),y
        beq @none
        and #$7F
        cmp LINEBUF,x
        beq :+
        ora #$20
        cmp LINEBUF,x
        bne @skip
:       inx
        lda (PTR3),y
        bmi @found
        iny
        bne @cmp
@found: ldy COUNT
        lda TMP+1
        clc
        rts
@skip:  lda (PTR3),y            ; to the end of this keyword
        bmi :+
        iny
        bne @skip
:       iny
        tya
        clc
        adc PTR3
        sta PTR3
        bcc :+
        inc PTR3+1
:       inc TMP+1               ; never 0: the tokens are $80 and up
        bne @word
@none:  ldy COUNT
        ldx TMP
        sec
        rts

; --- the program store -----------------------------------------------------------

; Inserts, replaces or deletes line LINENUM; its text starts at TXTPTR.
STORELINE:
        jsr FROMSTART
        jsr FINDLINE
        bcs @insert
        ldy #0                  ; the rest moves down over the old line
        lda (PTR1),y
        sta COUNT
        lda PTR1
        pha
        lda PTR1+1
        pha
@down:  ldy COUNT
        lda (PTR1),y
        ldy #0
        sta (PTR1),y
        lda PTR1
        cmp PROGEND
        lda PTR1+1
        sbc PROGEND+1
        inc PTR1
        bne :+
        inc PTR1+1
:       bcc @down
        sec
        lda PROGEND
        sbc COUNT
        sta PROGEND
        bcs :+
        dec PROGEND+1
:       pla
        sta PTR1+1
        pla
        sta PTR1
@insert:
        jsr SKIPSP              ; an empty line only deletes
        beq @done
        ldy #$FF                ; the record: length, number, text, 0
:       iny
        lda (TXTPTR),y
        bne :-
        tya
        clc
        adc #4
        sta COUNT
        lda PROGEND+1           ; room below MEMSIZ?
        adc #1
        cmp MEMSIZ+1
        bcc :+
        jmp OMERR
:       clc
        lda PROGEND
        adc #1
        sta PTR3
        lda PROGEND+1
        adc #0
        sta PTR3+1
        lda COUNT
        jsr MOVEUP
        lda COUNT
        ldx #PROGEND
        jsr ADDZP
        ldy #0
        lda COUNT
        sta (PTR1),y
        iny
        lda LINENUM
        sta (PTR1),y
        iny
        lda LINENUM+1
        sta (PTR1),y
        ldx #0
:       lda (TXTPTR,x)
        iny
        sta (PTR1),y
        jsr ADVANCE
        cmp #0
        bne :-
@done:  beq DOCLEAR               ; Z set by either way here

; Moves the bytes from PTR1 up to PTR3 A bytes up, the last first.
MOVEUP: sta CHAR
@byte:  lda PTR3
        cmp PTR1
        bne :+
        lda PTR3+1
        cmp PTR1+1
        beq @done
:       lda PTR3
        bne :+
        dec PTR3+1
:       dec PTR3
        ldy #0
        lda (PTR3),y
        ldy CHAR                ; never 0
        sta (PTR3),y
        bne @byte
@done:  rts

; PTR1 = the start of the program.
FROMSTART:
        lda #<PROGRAM
        sta PTR1
        lda #>PROGRAM
        sta PTR1+1
        rts

; From the record at PTR1 on: PTR1 = the first line whose number is LINENUM or more
; (or the end marker); carry clear when it is exactly LINENUM.
FINDLINE:
@line:  ldy #0
        lda (PTR1),y
        beq @after
        ldy #2
        lda (PTR1),y
        cmp LINENUM+1
        bcc @next
        bne @after
        dey
        lda (PTR1),y
        cmp LINENUM
        bcc @next
        bne @after
        clc
        rts
@next:  jsr NEXTREC
        jmp @line
@after: sec
        rts

; PTR1 = the line record after the one at PTR1.
NEXTREC:
        ldy #0
        lda (PTR1),y
        clc
        adc PTR1
        sta PTR1
        bcc :+
        inc PTR1+1
:       rts

; An empty program.
DONEW:  lda #<PROGRAM
        sta PROGEND
        lda #>PROGRAM
        sta PROGEND+1
        lda #0
        tay
        sta (PROGEND),y
; No variables, arrays or strings; empty stacks; READ from the start; no CONT.
DOCLEAR:
        clc
        lda PROGEND
        adc #1
        sta VARTAB
        sta ARYTAB
        sta STREND
        lda PROGEND+1
        adc #0
        sta VARTAB+1
        sta ARYTAB+1
        sta STREND+1
        lda MEMSIZ
        sta FRETOP
        lda MEMSIZ+1
        sta FRETOP+1
        lda #0
        sta CSP
        sta TEMPPT
        sta OLDTXT+1
        sta DATPTR+1
        rts

; --- execution -------------------------------------------------------------------

; Runs the statements from TXTPTR to the end of the line and on through the program;
; returns at the end of a direct line.
RUNTEXT:
        tsx                     ; RESUME keeps the return on the stack, for the end of
        stx STKLVL              ; a direct line
; The statement loop: one statement at TXTPTR, or a colon, or the end of a line.
NEWSTT: jsr BRKCHK
        bcc :+
        jmp BREAK
:       lda #0
        sta TEMPPT
        jsr SKIPSP
        beq ENDLINE
        cmp #':'
        bne @stmt
        jsr ADVANCE
        bne NEWSTT                ; ADVANCE leaves Z clear
@stmt:  jsr STATEMENT
        jsr SKIPSP
        beq ENDLINE
        cmp #':'
        beq NEWSTT
SYNTAX: jmp SNERR

; The end of a line: on to the next one, or back to the caller of RUNTEXT.
ENDLINE:
        lda CURLIN+1
        bne :+
        rts
:       ldy #0
        lda (CURLIN),y
        clc
        adc CURLIN
        sta CURLIN
        bcc :+
        inc CURLIN+1
:       lda (CURLIN),y
        beq DOEND
        jsr LINESTART
        bne NEWSTT              ; LINESTART leaves Z clear

; Goes on at TXTPTR in the statement loop, dropping whatever the statement left.
RESUME: ldx STKLVL              ; never 0
        txs
        bne NEWSTT

; TXTPTR = the text of the line at CURLIN.
LINESTART:
        clc
        lda CURLIN
        adc #3
        sta TXTPTR
        lda CURLIN+1
        adc #0
        sta TXTPTR+1
        rts

; Runs the statement at TXTPTR.
STATEMENT:
        cmp #T_END
        bcc @let
        cmp #T_NEW+1
        bcs SYNTAX
        jsr ADVANCE
        asl a
        tax
        lda STMTS+1,x
        pha
        lda STMTS,x
        pha
        rts
@let:   jmp DOLET

STMTS:  .word DOEND-1, DOFOR-1, DONEXT-1, DODATA-1, DOINPUT-1, DODIM-1, DOREAD-1, DOLET-1
        .word DOGOTO-1, DORUN-1, DOIF-1, DORESTORE-1, DOGOSUB-1, DORETURN-1, DOREM-1, DOSTOP-1
        .word DOON-1, DONULL-1, DOWAIT-1, DOLOAD-1, DOSAVE-1, DODEF-1, DOPOKE-1, DOPRINT-1
        .word DOCONT-1, DOLIST-1, DOCLEAR-1, DONEWCMD-1

; END: back to the command loop; CONT goes on after it.
DOEND:  jsr KEEPPOS
        jmp READY

; STOP: BREAK IN line; CONT goes on after it.
DOSTOP: jsr KEEPPOS
        jmp BREAKMSG

; Remembers where CONT goes on (not in direct mode).
KEEPPOS:
        lda CURLIN+1
        beq @done
        ldx #3
:       lda TXTPTR,x
        sta OLDTXT,x
        dex
        bpl :-
@done:  rts

DOCONT: lda OLDTXT+1
        bne :+
        ldx #E_CN
        jmp ERROR
:       ldx #3
:       lda OLDTXT,x
        sta TXTPTR,x
        dex
        bpl :-
        jmp RESUME

; REM, and IF when its condition fails: the rest of the line is skipped.
DOREM:  ldy #0
:       lda (TXTPTR),y
        beq @done
        jsr ADVANCE
        bne :-                ; ADVANCE leaves Z clear
@done:  rts

; DATA and the end of a GOSUB: the rest of the statement is skipped.
DODATA:
SKIPSTMT:
        ldx #0                  ; X: in quotes
        ldy #0
@char:  lda (TXTPTR),y
        beq @done
        cmp #'"'
        bne :+
        txa
        eor #1
        tax
        lda #'"'
:       cpx #0
        bne @next
        cmp #':'
        beq @done
@next:  jsr ADVANCE
        bne @char               ; ADVANCE leaves Z clear
@done:  rts

DONEWCMD:
        jsr DONEW
        jmp READY

DOLOAD: lda #1
        sta LOADFLAG
        rts

DONULL: jsr GETBYTEX
        stx NULCNT
        rts

; RUN [line]
DORUN:  jsr DOCLEAR
        jsr SKIPSP
        beq @first
        cmp #':'
        bne DOGOTO
@first: jsr FROMSTART
        ldy #0
        lda (PTR1),y
        bne GOREC
        jmp READY

; GOTO line
DOGOTO: jsr GETLINENO
; Goes on at line LINENUM.
GOLINE: jsr FROMSTART
        jsr FINDLINE
        bcc GOREC
        ldx #E_UL
        jmp ERROR
; Goes on at the start of the record at PTR1.
GOREC:  lda PTR1
        sta CURLIN
        lda PTR1+1
        sta CURLIN+1
        jsr LINESTART
        jmp RESUME

; GOSUB line
DOGOSUB:
        jsr GETLINENO
        lda #GOSIZE
        jsr CSROOM
        jsr PUSHPOS
        lda #T_GOSUB
        sta CSTK,x
        inx                     ; not 0
        stx CSP
        bne GOLINE

; X = CSP, after the error when the FOR/GOSUB stack has no room for A more bytes.
CSROOM: clc
        adc CSP
        bcc :+
        jmp OMERR
:       ldx CSP
        rts

; Pushes TXTPTR and CURLIN at CSTK+X, X past them.
PUSHPOS:
        ldy #0
:       lda TXTPTR,y
        sta CSTK,x
        inx
        iny
        cpy #4
        bne :-
        rts

; TXTPTR and CURLIN from the entry at CSTK+X.
POPPOS: ldy #0
:       lda CSTK,x
        sta TXTPTR,y
        inx
        iny
        cpy #4
        bne :-
        rts

; RETURN: FOR loops opened since the GOSUB end with it.
DORETURN:
        ldx CSP
        beq @none
@entry: lda CSTK-1,x
        cmp #T_GOSUB
        beq @found
        txa
        sec
        sbc #FORSIZE
        tax
        bne @entry
@none:  ldx #E_RG
        jmp ERROR
@found: txa
        sec
        sbc #GOSIZE
        sta CSP
        tax
        jsr POPPOS
        jmp SKIPSTMT

; IF condition THEN line or statements; IF condition GOTO line
DOIF:   jsr EVALNUM
        jsr SKIPSP
        cmp #T_GOTO
        beq @test
        lda #T_THEN
        jsr EXPECT
@test:  lda FACEXP
        bne :+
        jmp DOREM
:       jsr SKIPSP
        jsr ISDIGIT
        bcs :+
        jmp DOGOTO
:       jmp RESUME

; ON value GOTO/GOSUB line, line ...
DOON:   jsr GETBYTEX
        stx COUNT
        jsr SKIPSP
        cmp #T_GOSUB
        beq :+
        cmp #T_GOTO
        beq :+
        jmp SNERR
:       pha
        jsr ADVANCE
@line:  dec COUNT
        bne @skip
        pla
        cmp #T_GOTO
        bne :+
        jmp DOGOTO
:       jmp DOGOSUB
@skip:  bmi @none               ; 0: none is taken
        jsr GETLINENO
        jsr CHKCOM
        bcc @line
@none:  pla
        jmp SKIPSTMT

; [LET] variable = value
DOLET:  jsr GETVARW
        lda VARPTR
        pha
        lda VARPTR+1
        pha
        lda VTYPE
        pha
        jsr EQUALP
        jsr EVAL
        pla
        jsr CHKTYPE
        pla
        sta VARPTR+1
        pla
        sta VARPTR
; Stores the value of FAC in the variable at VARPTR.
ASSIGN: lda VALTYP
        bne ASSIGNSTR
        ldx VARPTR
        ldy VARPTR+1
        jmp STOREFAC

; A string is kept where it is when it is a temporary in the string space or lies in the
; program; else it is copied into the string space.
ASSIGNSTR:
        jsr FREESTR             ; carry set: it was a temporary
        bcc @where
        lda STRP+1
        cmp FRETOP+1
        bne :+
        lda STRP
        cmp FRETOP
:       bcs @keep
@where: lda STRP+1              ; in the program?
        cmp #>PROGRAM
        bcc @copy
        cmp VARTAB+1
        bne :+
        lda STRP
        cmp VARTAB
:       bcc @keep
@copy:  lda STRLEN
        jsr ALLOCSTR            ; may move strings: the source again from its descriptor
        ldy #2
:       lda (DSCPTR),y
        sta PTR2-1,y
        dey
        bne :-
        jsr COPYSTR
@keep:  ldy #0
        lda STRLEN
        sta (VARPTR),y
        iny
        lda STRP
        sta (VARPTR),y
        iny
        lda STRP+1
        sta (VARPTR),y
        rts

; Copies STRLEN bytes from PTR2 to the new string at INDEX; STRP = INDEX.
COPYSTR:
        ldy STRLEN
        beq @done
:       dey
        lda (PTR2),y
        sta (INDEX),y
        tya
        bne :-
@done:  lda INDEX
        sta STRP
        lda INDEX+1
        sta STRP+1
        rts

; POKE address, byte
DOPOKE: jsr GETADR
        lda INDEX
        pha
        lda INDEX+1
        pha
        jsr COMBYTE
        pla
        sta INDEX+1
        pla
        sta INDEX
        txa
        ldy #0
        sta (INDEX),y
        rts

; WAIT address, mask [, pattern]: until (byte EOR pattern) AND mask is not 0.
DOWAIT: jsr GETADR
        lda INDEX
        pha
        lda INDEX+1
        pha
        jsr COMBYTE
        stx LISTLO              ; the mask, where expressions leave it
        ldx #0
        jsr CHKCOM
        bcs :+
        jsr GETBYTEX
:       stx CHAR
        pla
        sta INDEX+1
        pla
        sta INDEX
        ldy #0
@poll:  lda (INDEX),y
        eor CHAR
        and LISTLO
        beq @poll
        rts

; FOR variable = start TO limit [STEP step]: an entry on the FOR/GOSUB stack.
DOFOR:  jsr GETVARW
        lda VTYPE
        beq :+
        jmp TMERR
:       lda VARPTR
        pha
        lda VARPTR+1
        pha
        jsr EQUALP
        jsr EVALNUM
        pla
        sta VARPTR+1
        sta M16A+1
        pla
        sta VARPTR
        sta M16A
        jsr ASSIGN
        jsr FINDFOR             ; a loop on the same variable starts again
        bcs :+
        txa
        sec
        sbc #FORSIZE
        sta CSP
:       lda #FORSIZE
        jsr CSROOM
        lda M16A
        sta CSTK+4,x
        lda M16A+1
        sta CSTK+5,x
        lda #T_TO
        jsr EXPECT
        jsr EVALNUM
        lda #6
        jsr FORSTORE            ; the limit
        jsr LDONE
        jsr SKIPSP
        cmp #T_STEP
        bne :+
        jsr ADVANCE
        jsr EVALNUM
:       lda #11
        jsr FORSTORE            ; the step
        ldx CSP
        jsr PUSHPOS
        lda #T_FOR
        sta CSTK+FORSIZE-5,x    ; X is 4 on now
        txa
        clc
        adc #FORSIZE-4
        sta CSP
        rts

; Stores FAC at offset A of the FOR entry being made.
FORSTORE:
        clc
        adc CSP
        tax
        ldy #>CSTK
        jmp STOREFAC

; The FOR entry of variable M16A (any variable when its high byte is 0) above the last
; GOSUB: carry clear and X = the top of the entry.
FINDFOR:
        ldx CSP
        beq @none
@entry: lda CSTK-1,x
        cmp #T_FOR
        bne @none
        lda M16A+1
        beq @found
        cmp CSTK-FORSIZE+5,x
        bne @next
        lda M16A
        cmp CSTK-FORSIZE+4,x
        beq @found
@next:  txa
        sec
        sbc #FORSIZE
        tax
        bne @entry
@none:  sec
        rts
@found: clc
        rts

; NEXT [variable [, variable ...]]
DONEXT: lda #0
        sta M16A+1
        jsr SKIPSP
        beq @find
        cmp #':'
        beq @find
@named: jsr GETVARW
        lda VARPTR
        sta M16A
        lda VARPTR+1
        sta M16A+1
@find:  jsr FINDFOR
        bcc :+
        ldx #E_NF
        jmp ERROR
:       stx CSP                 ; inner loops end with this one
        txa
        sec
        sbc #FORSIZE
        sta COUNT               ; the entry
        tax
        lda CSTK+4,x
        sta VARPTR
        ldy CSTK+5,x
        sty VARPTR+1
        jsr LOADFAC             ; variable + step
        lda COUNT
        clc
        adc #11
        ldy #>CSTK
        jsr LOADARG
        jsr FADD
        ldx VARPTR
        ldy VARPTR+1
        jsr STOREFAC
        lda COUNT
        clc
        adc #6
        ldy #>CSTK
        jsr LOADARG             ; the limit
        jsr FCMP                ; A = sign of limit - variable
        ldx COUNT
        ldy CSTK+12,x           ; the step's sign
        bpl :+
        eor #$FE                ; a negative step: -1 and 1 change places
:       cmp #$FF
        beq @done
        jmp POPPOS
@done:  stx CSP
        jsr CHKCOM
        bcc DONEXT
        rts

; PRINT items separated by ; and , (the comma moves to the next zone); TAB( and SPC(.
DOPRINT:
        jsr SKIPSP
        beq @newline
@item:  cmp #':'
        beq @newline
        cmp #';'
        beq @semi
        cmp #','
        bne @tabspc
        lda PRTCOL
        cmp COMLIM
        bcc @zone
        jsr CRLF
        bcc @semi               ; CRLF leaves carry clear
@zone:  jsr OUTSP
        lda PRTCOL
@mod:   sec
        sbc #ZONE
        bcs @mod
        adc #ZONE
        bne @zone
@semi:  jsr ADVANCE
        jsr SKIPSP
        beq @done
        cmp #':'
        bne @item
@done:  rts
@tabspc:
        cmp #T_TAB
        beq :+
        cmp #T_SPC
        bne @expr
:       pha
        jsr ADVANCE
        jsr GETBYTEX
        jsr CLOSEP
        pla
        cmp #T_TAB
        bne @spaces
        txa                     ; carry set: TAB(n) - PRTCOL blanks
        sbc PRTCOL
        bcc @next
        tax
@spaces:
        txa
        beq @next
:       jsr OUTSP
        dex
        bne :-
        beq @next
@expr:  jsr EVAL
        lda VALTYP
        beq @num
        jsr FREESTR
        jsr OUTSTR
        beq @next               ; OUTSTR leaves Z set
@num:   jsr FOUT
        jsr OUTFBUF
        jsr OUTSP
@next:  jsr SKIPSP
        bne @item
@newline:
        jmp CRLF

; Prints the string STRP, STRLEN.
OUTSTR: ldy #0
:       cpy STRLEN
        beq @done
        lda (STRP),y
        jsr OUT
        iny
        bne :-
@done:  rts

; Prints the number text in FBUF.
OUTFBUF:
        ldy #0
; The same from its character Y on.
OUTFB:
:       lda FBUF,y
        beq @done
        jsr OUT
        iny
        bne :-
@done:  rts

; INPUT ["prompt";] variable [, variable ...]. For too few values, or none (a bare
; RETURN), "??" asks for the rest until every variable has its value: the program does not
; go on with variables the user never answered. More values than variables: ?EXTRA
; IGNORED. Not a number for a numeric variable: ?REDO FROM START, and the statement asks
; again from its start.
DOINPUT:
        jsr NODIRECT
        lda TXTPTR              ; kept for a retry
        sta LISTLO
        lda TXTPTR+1
        sta LISTLO+1
@ask:   jsr SKIPSP
        cmp #'"'
        bne :+
        jsr STRLIT
        jsr FREESTR
        jsr OUTSTR
        lda #';'
        jsr EXPECT
:       jsr ANSWER
        lda #0
        jsr READVARS
        bcs @redo
        ldy #0                  ; more values than variables: the rest is dropped
        lda (INPTR),y
        beq @done
        ldx #EXTRA-MSGS
        jmp PRMSG
@redo:  ldx #REDO-MSGS
        jsr PRMSG
        lda LISTLO
        sta TXTPTR
        lda LISTLO+1            ; not 0
        sta TXTPTR+1
        bne @ask
@done:  rts

; READ variable [, variable ...]
DOREAD: lda DATPTR
        sta INPTR
        lda DATPTR+1
        sta INPTR+1
        lda #':'
        jsr READVARS
        bcs @bad
        lda INPTR
        sta DATPTR
        lda INPTR+1
        sta DATPTR+1
        rts
@bad:   lda DATLIN              ; the error names the DATA line
        sta CURLIN
        lda DATLIN+1
        sta CURLIN+1
        jmp SNERR

; Reads values from INPTR into the variables listed at TXTPTR. A = 0 for INPUT's answers,
; or ':' for DATA, whose items a colon also ends and which go on in the next DATA
; statement. Carry set when a value is not a number where one is wanted.
READVARS:
        sta RMODE
@var:   jsr GETVARW
        jsr SWAPIN
        lda RMODE
        beq @input
        jsr NEXTDATA
        jmp @item
@input: jsr SKIPSP
        cmp #','
        beq @comma
        tax
        bne @item
        lda #'?'                ; more variables than values, or an empty answer: "??"
        jsr OUT                 ; asks for the rest, as often as it takes
        jsr SWAPIN
        jsr ANSWER
        jsr SWAPIN
        bmi @input              ; SWAPIN leaves N set
@comma: jsr ADVANCE
@item:  lda RMODE
        jsr READITEM
        bcs @rts
        jsr SKIPSP
        beq @ok
        cmp #','
        beq @ok
        cmp RMODE
        beq @ok
        sec
        rts
@ok:    jsr SWAPIN
        jsr ASSIGN
        jsr CHKCOM
        bcs @done
        jmp @var
@done:  clc
@rts:   rts

; Exchanges TXTPTR and INPTR.
SWAPIN: ldx #1
:       lda TXTPTR,x
        ldy INPTR,x
        sta INPTR,x
        sty TXTPTR,x
        dex
        bpl :-
        rts

; Z set when the line in LINEBUF is empty; TXTPTR at its first character that is not a blank.
ATBUF:  lda #<LINEBUF
        sta TXTPTR
        lda #>LINEBUF
        sta TXTPTR+1
        jmp SKIPSP

; Prints "? " and reads an answer; INPTR points at it.
ANSWER: lda #'?'
        jsr OUT
        jsr OUTSP
        jsr GETLINE
        lda #<LINEBUF
        sta INPTR
        lda #>LINEBUF
        sta INPTR+1
        rts

; An item of an answer or of DATA at TXTPTR for the variable of type VTYPE, into FAC.
; A = the character that also ends an unquoted string (besides the comma and the end).
; Carry set when it is not a number where one is wanted.
READITEM:
        sta CHAR
        jsr SKIPSP
        ldx VTYPE
        beq @num
        cmp #'"'
        bne :+
        jsr STRLIT
        clc
        rts
:       lda TXTPTR
        sta STRP
        lda TXTPTR+1
        sta STRP+1
        ldy #$FF
:       iny
        lda (TXTPTR),y
        beq @str
        cmp #','
        beq @str
        cmp CHAR
        bne :-
@str:   sty STRLEN
        tya
        clc
        adc TXTPTR
        sta TXTPTR
        bcc :+
        inc TXTPTR+1
:       jsr MAKETEMP
        clc
        rts
@num:   jsr VALNUM
        lda #0
        sta VALTYP
        rts

; TXTPTR = the next DATA item from TXTPTR on (from the start when its high byte is 0);
; the error OD after the last one.
NEXTDATA:
        lda TXTPTR+1
        bne @on
        jsr FROMSTART
        lda PTR1
        sta DATLIN
        lda PTR1+1
        sta DATLIN+1            ; not 0
        bne @line
@on:
        jsr SKIPSP
        cmp #','
        beq @item
@stmt:  cmp #':'
        beq @colon
        ldy #0                  ; the end of a line: the next one
        lda (DATLIN),y
        clc
        adc DATLIN
        sta DATLIN
        bcc @line
        inc DATLIN+1
@line:  ldy #0
        lda (DATLIN),y
        bne :+
        ldx #E_OD
        jmp ERROR
:       clc
        lda DATLIN
        adc #3
        sta TXTPTR
        lda DATLIN+1
        adc #0
        sta TXTPTR+1
        bne @check              ; not 0
@colon: jsr ADVANCE
@check: jsr SKIPSP
        cmp #T_DATA
        beq @item
        jsr SKIPSTMT
        beq @stmt               ; SKIPSTMT leaves Z set
@item:  jmp ADVANCE

DORESTORE:
        lda #0
        sta DATPTR+1
        rts

; DIM name(size [, size ...]) [, ...]
DODIM:  lda #1
        sta DIMFLG
        jsr GETNAME
        jsr SKIPSP
        cmp #'('
        beq :+
        jmp SNERR
:       jsr ARRAYREF
        jsr CHKCOM
        bcc DODIM
        rts

; DEF FNname(variable) = expression
DODEF:  jsr NODIRECT
        lda #T_FN
        jsr EXPECT
        jsr FNNAME
        lda #1                  ; the function's entry: its text and its variable
        sta CREATE
        jsr FINDVAR
        lda VARPTR
        pha
        lda VARPTR+1
        pha
        jsr OPENP
        jsr GETVARW
        lda VTYPE
        beq :+
        jmp TMERR
:       jsr CLOSEP
        jsr EQUALP
        pla
        sta PTR2+1
        pla
        sta PTR2
        ldy #0
        lda TXTPTR
        sta (PTR2),y
        iny
        lda TXTPTR+1
        sta (PTR2),y
        iny
        lda VARPTR
        sta (PTR2),y
        iny
        lda VARPTR+1
        sta (PTR2),y
        jmp SKIPSTMT

; The error ID in direct mode.
NODIRECT:
        lda CURLIN+1
        bne :+
        ldx #E_ID
        jmp ERROR
:       rts

; LIST [from][-[to]]
DOLIST: lda #0
        sta LINENUM
        sta LINENUM+1
        jsr ALLLINES
        jsr SKIPSP
        jsr ISDIGIT
        bcs @dash
        jsr GETLINENO
        sta LISTHI
        stx LISTHI+1
@dash:  jsr SKIPSP
        cmp #'-'
        bne LISTALL
        jsr ALLLINES
        jsr ADVANCE
        jsr SKIPSP
        jsr ISDIGIT
        bcs LISTALL
        jsr LINEARG
        sta LISTHI
        stx LISTHI+1
; Lists the lines from LINENUM to LISTHI; Ctrl-C stops.
LISTALL:
        jsr FROMSTART
        jsr FINDLINE
@line:  ldy #0
        lda (PTR1),y
        beq @done
        ldy #2                  ; past LISTHI?
        lda LISTHI+1
        cmp (PTR1),y
        bcc @done
        bne :+
        dey
        lda LISTHI
        cmp (PTR1),y
        bcc @done
:       jsr BRKCHK
        bcs @done
        ldy #1
        lda (PTR1),y
        sta LNUM
        iny
        lda (PTR1),y
        jsr PRUNSA
        jsr OUTSP
        ldy #3
@text:  lda (PTR1),y
        beq @end
        bpl @plain
        jsr PRTOKEN
        bne @more               ; PRTOKEN leaves Z clear
@plain: jsr OUT
@more:  iny
        bne @text
@end:   jsr LINEEND
        jsr NEXTREC
        jmp @line
@done:  rts

; Prints the keyword of token A. Preserves Y.
PRTOKEN:
        sty COUNT
        sec
        sbc #T_END
        tax
        ldy #0
@find:  dex
        bmi @print
:       lda KEYWORDS,y
        iny
        asl a
        bcc :-
        bcs @find
@print: lda KEYWORDS,y
        pha
        and #$7F
        jsr OUT
        iny
        pla
        bpl @print
        ldy COUNT
        rts

; Writes the listing to the tape output.
DOSAVE: lda #1
        sta SAVEFLAG
        lda #0
        sta LINENUM
        sta LINENUM+1
        jsr ALLLINES
        jsr LISTALL
        lda #0
        sta SAVEFLAG
        rts

; LISTHI = the highest line number.
ALLLINES:
        lda #$FF
        sta LISTHI
        sta LISTHI+1
        rts

; --- expressions -----------------------------------------------------------------
; Operators by level: OR 1, AND 2, NOT 3, relations 4, + - 5, * / 6, unary minus 7, ^ 8.

; A number at TXTPTR into FAC; the error TM for a string.
EVALNUM:
        jsr EVAL
; The error TM unless FAC holds a number.
CHKNUM: lda #0
; The error TM unless the type of FAC is A.
CHKTYPE:
        cmp VALTYP
        beq :+
        jmp TMERR
:       rts

; The error TM unless FAC holds a string.
CHKSTR: lda #$FF
        bne CHKTYPE

; FAC = the value of the expression at TXTPTR.
EVAL:   lda #0
; FAC = the expression at TXTPTR as far as its operators bind tighter than level A.
; Brackets, operators, functions and subscripts nest through here; the error OM before
; they use up the processor stack.
EXPRP:  tsx
        cpx #STKMIN
        bcs :+
        jmp OMERR
:       pha
        jsr OPERAND
@next:  jsr GETOP
        bcs @done
        sta PREC
        pla
        pha
        cmp PREC
        bcs @done
:       jsr ADVANCE             ; past the operator
        dec COUNT
        bne :-
        jsr PUSHFAC
        lda VALTYP
        pha
        lda OPNUM
        pha
        lda RELMASK
        pha
        lda PREC
        jsr EXPRP
        pla
        sta RELMASK
        pla
        sta OPNUM
        pla
        sta CHAR                ; the type of the left operand
        jsr POPARG
        jsr APPLY
        jmp @next
@done:  pla
        rts

; The operator at TXTPTR: carry clear, OPNUM, RELMASK, COUNT = its characters and
; A = its level; carry set when there is none.
GETOP:  jsr SKIPSP
        ldx #6
:       cmp OPCHARS,x
        beq @op
        dex
        bpl :-
        ldy #0
        sty RELMASK
@rel:   lda (TXTPTR),y
        ldx #2
:       cmp RELCHARS,x
        beq @bit
        dex
        bpl :-
        sty COUNT
        lda RELMASK             ; carry set when there was none
        eor #$FF
        cmp #$FF
        lda #7
        sta OPNUM
        lda #4
        rts
@bit:   lda RELBITS,x
        ora RELMASK
        sta RELMASK
        iny
        bne @rel
@op:    stx OPNUM
        lda #1
        sta COUNT
        lda OPLEVEL,x
        clc
        rts

; FAC = ARG (operator OPNUM, type CHAR) FAC.
APPLY:  lda OPNUM
        cmp #7
        beq @rel
        lda CHAR
        beq @nums
        lda OPNUM               ; strings: only + joins them
        bne :+
        lda VALTYP
        beq :+
        jmp CONCAT
@tm:
:       jmp TMERR
@nums:  lda VALTYP
        bne @tm
        lda OPNUM
        asl a
        tax
        lda OPS+1,x
        pha
        lda OPS,x
        pha
        rts
@rel:   lda CHAR
        jsr CHKTYPE
        lda CHAR
        beq @numrel
        jsr STRCMP
        jmp @res
@numrel:
        jsr FCMP
@res:   tax                     ; -1, 0, 1: less, equal, greater
        inx
        ldy #0                  ; a number
        sty VALTYP
        lda RELBITS,x
        and RELMASK
        beq FALSE
; FAC = -1.
TRUE:   lda #<CMONE
        jmp LDFACA
; FAC = 0.
FALSE:  jmp ZEROFAC

OPS:    .word FADD-1, FSUB-1, FMUL-1, FDIV-1, FPWR-1, DOAND-1, DOOR-1
OPCHARS:
        .byte "+-*/^", T_AND, T_OR
OPLEVEL:
        .byte 5, 5, 6, 6, 8, 2, 1
RELCHARS:
        .byte "<=>"
RELBITS:
        .byte 1, 2, 4

; ARG AND FAC, and ARG OR FAC, on 16-bit integers.
DOAND:  jsr BOTHINT
        lda M16A
        and FACM+3
        tay
        lda M16A+1
        and FACM+2
        jmp GIVAYF
DOOR:   jsr BOTHINT
        lda M16A
        ora FACM+3
        tay
        lda M16A+1
        ora FACM+2
        jmp GIVAYF

; FACM+2, FACM+3 = FAC and M16A = ARG as 16-bit integers.
BOTHINT:
        jsr MAKEINT
        lda FACM+2
        pha
        lda FACM+3
        pha
        jsr ARG2FAC
        jsr MAKEINT
        lda FACM+3
        sta M16A
        lda FACM+2
        sta M16A+1
        pla
        sta FACM+3
        pla
        sta FACM+2
        rts

; An operand with its unary operators into FAC.
OPERAND:
        lda #0
        sta VALTYP
        jsr SKIPSP
        cmp #'-'
        bne :+
        jsr ADVANCE
        lda #7
        jsr EXPRP
        jsr CHKNUM
        jmp NEGFAC
:       cmp #'+'
        bne :+
        jsr ADVANCE
        bne OPERAND             ; ADVANCE leaves Z clear
:       cmp #T_NOT
        bne PRIMARY
        jsr ADVANCE
        lda #3
        jsr EXPRP
        jsr CHKNUM
        jsr MAKEINT
        lda FACM+3
        eor #$FF
        tay
        lda FACM+2
        eor #$FF
        jmp GIVAYF

; A number, string, variable, function or bracketed expression into FAC.
PRIMARY:
        cmp #'.'
        beq @num
        jsr ISDIGIT
        bcs :+
@num:   jmp FIN
:       cmp #'"'
        bne :+
        jmp STRLIT
:       cmp #'('
        bne :+
        jsr ADVANCE
        jsr EVAL
        lda #')'
        jmp EXPECT
:       cmp #T_FN
        bne :+
        jmp FNCALL
:       cmp #T_SGN
        bcc :+
        jmp FUNCTION
:       jsr GETVAR
        lda VTYPE
        sta VALTYP
        bne @str
        lda VARPTR
        ldy VARPTR+1
        jmp LOADFAC
@str:   lda VARPTR
        sta FACM
        lda VARPTR+1
        sta FACM+1
        lda #0
        sta FACEXT
        rts

; --- variables ---------------------------------------------------------------------

; The name at TXTPTR: VARNAM and VTYPE; the error SN when there is none.
GETNAME:
        jsr SKIPSP
        jsr ISLETTER
        bcc :+
        jmp SNERR
:       sta VARNAM
        ldy #0
        sty VARNAM+1
        sty VTYPE
        jsr ADVANCE
        lda (TXTPTR),y
        jsr ISALNUM
        bcs @type
        sta VARNAM+1
@skip:  jsr ADVANCE             ; further letters and digits do not count
        lda (TXTPTR),y
        jsr ISALNUM
        bcc @skip
@type:  cmp #'$'
        bne @done
        jsr ADVANCE
        lda #$FF
        sta VTYPE
        lda VARNAM+1
        ora #$80
        sta VARNAM+1
@done:  rts

; The variable or array element at TXTPTR to be written: VARPTR, VTYPE.
GETVARW:
        lda #1
        bne GETVARA
; The variable or array element at TXTPTR to be read: VARPTR, VTYPE; a simple variable
; that does not exist reads as 0 or "".
GETVAR: lda #0
GETVARA:
        sta CREATE
        lda #0
        sta DIMFLG
        jsr GETNAME
        ldy #0
        lda (TXTPTR),y
        cmp #'('
        bne FINDVAR
        jmp ARRAYREF

; VARPTR = the value of simple variable VARNAM; made when CREATE is set.
FINDVAR:
        lda VARTAB
        sta PTR2
        lda VARTAB+1
        sta PTR2+1
@loop:  lda PTR2
        cmp ARYTAB
        lda PTR2+1
        sbc ARYTAB+1
        bcs @missing
        ldy #0
        lda (PTR2),y
        cmp VARNAM
        bne @next
        iny
        lda (PTR2),y
        cmp VARNAM+1
        beq @found
@next:  lda #7
        jsr ADDPTR2
        jmp @loop
@found: clc
        lda PTR2
        adc #2
        sta VARPTR
        lda PTR2+1
        adc #0
        sta VARPTR+1
        rts
@missing:
        lda CREATE
        bne @make
        lda #<ZERO5
        sta VARPTR
        lda #>ZERO5
        sta VARPTR+1
        rts
@make:  lda #7                  ; the arrays move up to make room
        sta TMP
        lda #0
        sta TMP+1
        jsr ROOM
        lda ARYTAB
        sta PTR1
        lda ARYTAB+1
        sta PTR1+1
        lda STREND
        sta PTR3
        lda STREND+1
        sta PTR3+1
        lda #7
        jsr MOVEUP
        lda #7
        ldx #STREND
        jsr ADDZP
        lda #7
        ldx #ARYTAB
        jsr ADDZP
        ldy #0
        lda VARNAM
        sta (PTR1),y
        iny
        lda VARNAM+1
        sta (PTR1),y
        lda #0
:       iny
        sta (PTR1),y
        cpy #6
        bne :-
        lda PTR1
        sta PTR2
        lda PTR1+1              ; not 0
        sta PTR2+1
        bne @found

; PTR2 += A.
ADDPTR2:
        ldx #PTR2
; The zero-page pointer at X += A.
ADDZP:  clc
        adc 0,x
        sta 0,x
        bcc :+
        inc 1,x
:       rts

; Room for TMP more bytes above STREND, after a garbage collection when needed; PTR3 =
; the new end. The error OM when there is none.
ROOM:   jsr @fits
        bcs @ok
        jsr GARBAGE
        jsr @fits
        bcs @ok
        jmp OMERR
@ok:    rts
@fits:  clc
        lda STREND
        adc TMP
        sta PTR3
        lda STREND+1
        adc TMP+1
        sta PTR3+1
        bcs @over
        lda FRETOP
        cmp PTR3
        lda FRETOP+1
        sbc PTR3+1
        rts
@over:  clc
        rts

; The element of array VARNAM whose subscripts follow at TXTPTR: VARPTR, VTYPE. With
; DIMFLG set the array is made, the subscripts giving its largest indices.
ARRAYREF:
        lda DIMFLG
        pha
        lda VARNAM
        pha
        lda VARNAM+1
        pha
        lda VTYPE
        pha
        lda #0
        sta DIMFLG
        pha                     ; the number of subscripts
@sub:   jsr ADVANCE
        jsr EVALNUM
        jsr MAKEINT
        lda FACM+2
        bpl :+
        jmp FCERR
:       pla
        tax
        inx
        cpx #MAXDIM+1
        bcc :+
        jmp BSERR
:       lda FACM+3
        pha
        lda FACM+2
        pha
        txa
        pha
        jsr SKIPSP
        cmp #','
        beq @sub
        jsr CLOSEP
        pla
        sta NDIM
        asl a
        sta N2
        tay
:       pla                     ; SUBS: the subscripts, low byte first
        sta SUBS-1,y
        dey
        bne :-
        pla
        sta VTYPE
        pla
        sta VARNAM+1
        pla
        sta VARNAM
        pla
        sta DIMFLG
        jsr FINDARR
        bcs @make
        lda DIMFLG
        beq :+
        ldx #E_DD
        jmp ERROR
:       ldy #4
        lda (PTR2),y
        cmp NDIM
        beq @elem
        jmp BSERR
@make:  jsr MAKEARR
        lda DIMFLG
        beq @elem
        rts
@elem:  lda #0                  ; the element number, last subscript first
        sta M16A
        sta M16A+1
        ldy N2
@index: dey
        dey
        sty COUNT
        tya
        clc
        adc #5
        tay
        lda (PTR2),y
        sta M16B
        iny
        lda (PTR2),y
        sta M16B+1
        ldy COUNT
        lda SUBS,y
        cmp M16B
        lda SUBS+1,y
        sbc M16B+1
        bcc :+
        jmp BSERR
:       jsr MUL16
        clc
        lda M16A
        adc SUBS,y
        sta M16A
        lda M16A+1
        adc SUBS+1,y
        sta M16A+1
        cpy #0
        bne @index
        lda #ELSIZE
        sta M16B
        lda #0
        sta M16B+1
        jsr MUL16
        lda N2                  ; VARPTR = the array + 5 + N2 + the element's offset
        clc
        adc #5
        jsr ADDPTR2
        clc
        lda PTR2
        adc M16A
        sta VARPTR
        lda PTR2+1
        adc M16A+1
        sta VARPTR+1
        rts

; PTR2 = array VARNAM: carry clear when it exists.
FINDARR:
        lda ARYTAB
        sta PTR2
        lda ARYTAB+1
        sta PTR2+1
@loop:  lda PTR2
        cmp STREND
        lda PTR2+1
        sbc STREND+1
        bcs @none
        ldy #0
        lda (PTR2),y
        cmp VARNAM
        bne @next
        iny
        lda (PTR2),y
        cmp VARNAM+1
        bne @next
        clc
        rts
@next:  ldy #2
        lda (PTR2),y
        clc
        adc PTR2
        tax
        iny
        lda (PTR2),y
        adc PTR2+1              ; not 0
        sta PTR2+1
        stx PTR2
        bne @loop
@none:  rts

; Makes array VARNAM at STREND (PTR2) with NDIM dimensions from SUBS, all zero. Its
; header: the name (2), its size (2), NDIM, the number of elements of each dimension (2).
MAKEARR:
        lda N2
        clc
        adc #5
        sta TMP
        lda #0
        sta TMP+1
        jsr ROOM                ; the header fits
        lda STREND
        sta PTR2
        lda STREND+1
        sta PTR2+1
        lda #ELSIZE
        sta M16A
        lda #0
        sta M16A+1
        tay
@dim:   jsr DIMSIZE
        sty COUNT
        tya
        clc
        adc #5
        tay
        lda M16B
        sta (PTR2),y
        iny
        lda M16B+1
        sta (PTR2),y
        ldy COUNT
        jsr MUL16
        iny
        iny
        cpy N2
        bne @dim
        clc                     ; and the elements
        lda M16A
        adc TMP
        sta TMP
        lda M16A+1
        adc #0
        sta TMP+1
        bcc :+
        jmp OMERR
:       jsr ROOM
        lda STREND
        sta PTR2
        lda STREND+1
        sta PTR2+1
        ldy #0
        lda VARNAM
        sta (PTR2),y
        iny
        lda VARNAM+1
        sta (PTR2),y
        iny
        lda TMP
        sta (PTR2),y
        iny
        lda TMP+1
        sta (PTR2),y
        iny
        lda NDIM
        sta (PTR2),y
        lda N2                  ; zero the elements
        clc
        adc #5
        adc PTR2
        sta PTR1
        lda PTR2+1
        adc #0
        sta PTR1+1
        ldy #0
@zero:  lda PTR1
        cmp PTR3
        bne :+
        lda PTR1+1
        cmp PTR3+1
        beq @made
:       tya
        sta (PTR1),y
        inc PTR1
        bne @zero
        inc PTR1+1
        bne @zero
@made:  lda PTR3
        sta STREND
        lda PTR3+1
        sta STREND+1
        rts

; M16B = the number of elements of dimension SUBS+Y: the subscript + 1 in DIM, else 11.
DIMSIZE:
        lda #11
        sta M16B
        lda #0
        sta M16B+1
        lda DIMFLG
        beq @done
        clc
        lda SUBS,y
        adc #1
        sta M16B
        lda SUBS+1,y
        adc #0
        sta M16B+1
@done:  rts

; M16A *= M16B, M16B lost; the error OM past 65535. Preserves X and Y.
MUL16:  lda #0
        sta PROD
        sta PROD+1
; M16B's bits from the lowest, until none is left: a small factor takes few steps.
@bit:   lsr M16B+1
        ror M16B
        bcc @next
        clc
        lda PROD
        adc M16A
        sta PROD
        lda PROD+1
        adc M16A+1
        sta PROD+1
        bcs @over
@next:  lda M16B
        ora M16B+1
        beq @done
        asl M16A
        rol M16A+1
        bcc @bit
@over:  jmp OMERR
@done:  lda PROD
        sta M16A
        lda PROD+1
        sta M16A+1
        rts

; The name of a function after FN: VARNAM with bit 7 of its first byte set.
FNNAME: jsr GETNAME
        lda VTYPE
        beq :+
        jmp TMERR
:       lda VARNAM
        ora #$80
        sta VARNAM
        rts

; FNname(value): the function's expression with its variable set to the value.
FNCALL: jsr ADVANCE
        jsr FNNAME
        lda #0
        sta CREATE
        jsr FINDVAR
        lda VARPTR+1            ; a missing one reads from the ROM
        cmp #>ZERO5
        bne :+
        ldx #E_UF
        jmp ERROR
:       lda VARPTR
        pha
        lda VARPTR+1
        pha
        jsr OPENP
        jsr EVALNUM
        jsr CLOSEP
        pla
        sta PTR2+1
        pla
        sta PTR2
        ldy #2                  ; the entry: the text, then the variable
        lda (PTR2),y
        sta FNPTR
        iny
        lda (PTR2),y
        sta FNPTR+1
        ldy #4                  ; the variable's value is kept on the stack
:       lda (FNPTR),y
        pha
        dey
        bpl :-
        lda FNPTR
        pha
        lda FNPTR+1
        pha
        lda TXTPTR
        pha
        lda TXTPTR+1
        pha
        ldx FNPTR
        ldy FNPTR+1
        jsr STOREFAC
        ldy #0
        lda (PTR2),y
        sta TXTPTR
        iny
        lda (PTR2),y
        sta TXTPTR+1
        jsr EVALNUM
        pla
        sta TXTPTR+1
        pla
        sta TXTPTR
        pla
        sta FNPTR+1
        pla
        sta FNPTR
        ldy #0
:       pla
        sta (FNPTR),y
        iny
        cpy #5
        bne :-
        rts

; --- strings -----------------------------------------------------------------------

; A string literal at TXTPTR: a temporary pointing into the text.
STRLIT: jsr ADVANCE
        lda TXTPTR
        sta STRP
        lda TXTPTR+1
        sta STRP+1
        ldy #0
:       lda (TXTPTR),y
        beq @end
        cmp #'"'
        beq @end
        iny
        bne :-
@end:   sty STRLEN
        tya
        ldx #TXTPTR
        jsr ADDZP
        ldy #0
        lda (TXTPTR),y
        beq MAKETEMP
        jsr ADVANCE             ; the closing quote
; FAC = a new temporary descriptor of STRLEN, STRP.
MAKETEMP:
        ldx TEMPPT
        cpx #TEMPMAX
        bcc :+
        ldx #E_ST
        jmp ERROR
:       lda STRLEN
        sta TEMPST,x
        lda STRP
        sta TEMPST+1,x
        lda STRP+1
        sta TEMPST+2,x
        txa
        clc
        adc #<TEMPST
        sta FACM
        lda #>TEMPST
        sta FACM+1
        inx
        inx
        inx
        stx TEMPPT
        lda #$FF
        sta VALTYP
        lda #0
        sta FACEXT
        rts

; STRLEN, STRP = the string of FAC, DSCPTR its descriptor. A temporary on top of the
; others is released, and then carry is set.
FREESTR:
        lda FACM
        sta DSCPTR
        lda FACM+1
        sta DSCPTR+1
; The same for the descriptor at DSCPTR.
FREEDSC:
        ldy #0
        lda (DSCPTR),y
        sta STRLEN
        iny
        lda (DSCPTR),y
        sta STRP
        iny
        lda (DSCPTR),y
        sta STRP+1
        lda DSCPTR+1
        cmp #>TEMPST
        bne @no
        lda TEMPPT
        beq @no
        sec
        sbc #3
        tax
        clc
        adc #<TEMPST
        cmp DSCPTR
        bne @no
        stx TEMPPT
        sec
        rts
@no:    clc
        rts

; INDEX = a new string of A bytes in the string space; the error OM without room.
ALLOCSTR:
        sta ALEN
        jsr @try
        bcs @ok
        jsr GARBAGE
        jsr @try
        bcs @ok
        jmp OMERR
@ok:    rts
@try:   sec
        lda FRETOP
        sbc ALEN
        tax
        lda FRETOP+1
        sbc #0
        tay
        cpx STREND
        sbc STREND+1
        bcc @no
        stx FRETOP
        sty FRETOP+1
        stx INDEX
        sty INDEX+1
@no:    rts

; Moves the strings in use to the top of memory, closing the gaps between them: the one
; highest in memory first, then the next one below it, and so on.
GARBAGE:
        lda MEMSIZ
        sta GCTOP
        sta GCLIM
        lda MEMSIZ+1
        sta GCTOP+1
        sta GCLIM+1
@pass:  lda #0
        sta GCBEST
        sta GCBEST+1
        sta GCDSC+1
        lda VARTAB
        sta PTR2
        lda VARTAB+1
        sta PTR2+1
@var:   lda PTR2                ; the simple string variables
        cmp ARYTAB
        lda PTR2+1
        sbc ARYTAB+1
        bcs @arr
        ldy #0
        lda (PTR2),y
        bmi @vnext              ; a function
        iny
        lda (PTR2),y
        bpl @vnext
        lda #2
        jsr GCSEE
@vnext: lda #7
        jsr ADDPTR2
        jmp @var
@arr:   lda PTR2                ; the string arrays
        cmp STREND
        lda PTR2+1
        sbc STREND+1
        bcs @temps
        ldy #2
        lda (PTR2),y
        clc
        adc PTR2
        sta PTR1
        iny
        lda (PTR2),y
        adc PTR2+1
        sta PTR1+1
        ldy #1
        lda (PTR2),y
        bpl @anext
        ldy #4
        lda (PTR2),y
        asl a
        adc #5
        jsr ADDPTR2
@elem:  lda PTR2
        cmp PTR1
        lda PTR2+1
        sbc PTR1+1
        bcs @anext
        lda #0
        jsr GCSEE
        lda #ELSIZE
        jsr ADDPTR2
        jmp @elem
@anext: lda PTR1
        sta PTR2
        lda PTR1+1              ; not 0
        sta PTR2+1
        bne @arr
@temps: lda #<TEMPST
        sta PTR2
        lda #>TEMPST
        sta PTR2+1
@temp:  lda PTR2
        sec
        sbc #<TEMPST
        cmp TEMPPT
        bcs @move
        lda #0
        jsr GCSEE
        lda #3
        jsr ADDPTR2
        jmp @temp
@move:  lda GCDSC+1
        bne :+
        lda GCTOP
        sta FRETOP
        lda GCTOP+1
        sta FRETOP+1
        rts
:       ldy #0
        lda (GCDSC),y
        tay
        sta GCLEN
        sec
        lda GCTOP
        sbc GCLEN
        sta GCTOP
        bcs @copy
        dec GCTOP+1
@copy:  dey                     ; from the top down, as the string moves up
        lda (GCBEST),y
        sta (GCTOP),y
        tya
        bne @copy
        ldy #1
        lda GCTOP
        sta (GCDSC),y
        iny
        lda GCTOP+1
        sta (GCDSC),y
        lda GCBEST
        sta GCLIM
        lda GCBEST+1
        sta GCLIM+1
        jmp @pass

; Takes the descriptor at PTR2+A as the best so far when its string lies in the string
; space below GCLIM and above the best so far.
GCSEE:  clc
        adc PTR2
        sta PTR3
        lda PTR2+1
        adc #0
        sta PTR3+1
        ldy #0
        lda (PTR3),y
        beq @no
        iny
        lda (PTR3),y
        sta GCADR
        iny
        lda (PTR3),y
        sta GCADR+1
        lda GCADR
        cmp FRETOP
        lda GCADR+1
        sbc FRETOP+1
        bcc @no
        lda GCADR
        cmp GCLIM
        lda GCADR+1
        sbc GCLIM+1
        bcs @no
        lda GCADR
        cmp GCBEST
        lda GCADR+1
        sbc GCBEST+1
        bcc @no
        lda GCADR
        sta GCBEST
        lda GCADR+1
        sta GCBEST+1
        lda PTR3
        sta GCDSC
        lda PTR3+1
        sta GCDSC+1
@no:    rts

; FAC = the string of ARG followed by the string of FAC.
CONCAT: ldy #0
        lda (ARGM),y
        clc
        adc (FACM),y
        bcc :+
        ldx #E_LS
        jmp ERROR
:       pha
        jsr ALLOCSTR
        lda INDEX
        sta PTR1
        lda INDEX+1
        sta PTR1+1
        jsr FREESTR
        lda STRLEN
        sta ALEN
        lda STRP
        sta GCADR
        lda STRP+1
        sta GCADR+1
        lda ARGM
        sta DSCPTR
        lda ARGM+1
        sta DSCPTR+1
        jsr FREEDSC
        jsr COPYTO
        lda ALEN
        sta STRLEN
        lda GCADR
        sta STRP
        lda GCADR+1
        sta STRP+1
        jsr COPYTO
        pla
        sta STRLEN
        lda INDEX
        sta STRP
        lda INDEX+1
        sta STRP+1
        jmp MAKETEMP

; Copies the string STRP, STRLEN to PTR1 and moves PTR1 past it.
COPYTO: ldy #0
:       cpy STRLEN
        beq @done
        lda (STRP),y
        sta (PTR1),y
        iny
        bne :-
@done:  tya
        ldx #PTR1
        jmp ADDZP

; A = -1, 0 or 1 as the string of ARG is before, equal to or after the string of FAC.
STRCMP: jsr FREESTR
        lda STRLEN
        sta ALEN
        lda STRP
        sta PTR1
        lda STRP+1
        sta PTR1+1
        lda ARGM
        sta DSCPTR
        lda ARGM+1
        sta DSCPTR+1
        jsr FREEDSC
        ldy #0
@loop:  cpy STRLEN
        beq @lend
        cpy ALEN
        beq @gt
        lda (STRP),y
        cmp (PTR1),y
        bcc @lt
        bne @gt
        iny
        bne @loop
@lend:  cpy ALEN
        beq @eq
@lt:    lda #$FF
        rts
@eq:    lda #0
        rts
@gt:    lda #1
        rts

; --- functions ---------------------------------------------------------------------

; A function call: its token at TXTPTR.
FUNCTION:
        pha
        jsr ADVANCE
        jsr OPENP
        jsr EVAL
        pla
        cmp #T_LEFTS
        bcs @sub
        pha
        jsr CLOSEP
        pla
        cmp #T_LEN              ; up to CHR$ the argument is a number, but for FRE
        bcs @call
        cmp #T_FRE
        beq @call
        pha
        jsr CHKNUM
        pla
@call:  sec
        sbc #T_SGN
        asl a
        tax
        lda FUNCS+1,x
        pha
        lda FUNCS,x
        pha
        rts
@sub:   pha                     ; LEFT$, RIGHT$, MID$: string, number [, number]
        jsr CHKSTR
        lda FACM
        pha
        lda FACM+1
        pha
        jsr COMBYTE
        txa
        pha
        ldx #$FF
        jsr CHKCOM
        bcs :+
        jsr GETBYTEX
:       stx NDIG
        jsr CLOSEP
        pla
        sta CHAR
        pla
        sta DSCPTR+1
        pla
        sta DSCPTR
        pla                     ; the token, not 0
        bne @call

FUNCS:  .word FNSGN-1, FINT-1, FNABS-1, FNUSR-1, FNFRE-1, FNPOS-1, FSQR-1, FRND-1
        .word FLOG-1, FEXP-1, FCOS-1, FSIN-1, FTAN-1, FATN-1, FNPEEK-1, FNSTR-1
        .word FNCHR-1, FNLEN-1, FNVAL-1, FNASC-1, FNLEFT-1, FNRIGHT-1, FNMID-1

FNSGN:  jsr FSIGN
        tay
        bmi :+
        lda #0
:       jmp GIVAYF

FNABS:  lsr FACSGN
        rts

; USR(value): the routine whose address is at $0B, $0C, with the value in FAC.
FNUSR:  jmp USRJMP

; FRE(anything): the bytes between the arrays and the strings.
FNFRE:  jsr GARBAGE
        sec
        lda FRETOP
        sbc STREND
        tay
        lda FRETOP+1
        sbc STREND+1
        jmp GIVUNS

FNPOS:  lda PRTCOL
; FAC = the byte A.
BYTEFAC:
        tay
        lda #0
        jmp GIVUNS

FNPEEK: jsr MAKEADR
        ldy #0
        lda (INDEX),y
        jmp BYTEFAC

FNLEN:  jsr CHKSTR
        jsr FREESTR
        lda STRLEN
        jmp BYTEFAC

FNASC:  jsr CHKSTR
        jsr FREESTR
        lda STRLEN
        bne :+
        jmp FCERR
:       ldy #0
        lda (STRP),y
        jmp BYTEFAC

; STR$(value): the number as PRINT shows it, without the blank after it.
FNSTR:  jsr FOUT
        ldy FPOS                ; the length and the 0 after it
        dey
; FAC = a new temporary with a copy of the Y characters in FBUF.
FBUFSTR:
        sty STRLEN
        tya
        jsr ALLOCSTR
        lda #<FBUF
        sta PTR2
        lda #>FBUF
        sta PTR2+1
        jsr COPYSTR
        jmp MAKETEMP

FNCHR:  jsr CONVBYTE
        stx FBUF
        ldy #1
        bne FBUFSTR

; VAL(string): the number at its start, 0 when there is none; read from a copy of its
; first 19 characters in FBUF.
FNVAL:  jsr CHKSTR
        jsr FREESTR
        ldy STRLEN
        cpy #19
        bcc :+
        ldy #19
:       lda #0
:       sta FBUF,y
        dey
        bmi :+
        lda (STRP),y
        jmp :-
:       lda TXTPTR
        pha
        lda TXTPTR+1
        pha
        lda #<FBUF
        sta TXTPTR
        lda #>FBUF
        sta TXTPTR+1
        jsr VALNUM
        bcc :+
        jsr ZEROFAC
:       pla
        sta TXTPTR+1
        pla
        sta TXTPTR
        lda #0
        sta VALTYP
        rts

; LEFT$(string, n); DSCPTR the string, CHAR = n.
FNLEFT: lda #0
        beq SUBSTR
; RIGHT$(string, n)
FNRIGHT:
        ldy #0
        lda (DSCPTR),y
        sec
        sbc CHAR
        bcs SUBSTR
        lda #0
        beq SUBSTR
; MID$(string, start [, n]); NDIG = n, 255 when it is not given.
FNMID:  ldx CHAR
        bne :+
        jmp FCERR
:       lda NDIG
        sta CHAR
        dex
        txa
; FAC = the part of the string DSCPTR from offset A, CHAR characters at most.
SUBSTR: sta COUNT
        ldy #0
        lda (DSCPTR),y
        sec
        sbc COUNT               ; the characters after the offset
        bcs :+
        lda #0
:       cmp CHAR
        bcc :+
        lda CHAR
:       sta STRLEN
        jsr ALLOCSTR
        jsr FREEDSC             ; the source, read again after ALLOCSTR
        lda ALEN
        sta STRLEN
        clc
        lda STRP
        adc COUNT
        sta PTR2
        lda STRP+1
        adc #0
        sta PTR2+1
        jsr COPYSTR
        jmp MAKETEMP

; --- floating point ------------------------------------------------------------------

; FAC = 0.
ZEROFAC:
        lda #0
        ldx #6
:       sta FACEXP,x
        dex
        bpl :-
        rts

; FAC = the packed number at A (low), Y (high).
LOADFAC:
        ldx #0
        beq LOADREG
; ARG = the packed number at A (low), Y (high).
LOADARG:
        ldx #ARGEXP-FACEXP
; The register at FACEXP+X = the packed number at A, Y.
LOADREG:
        sta INDEX
        sty INDEX+1
        ldy #0
        lda (INDEX),y
        sta FACEXP,x
        inx
        iny
        lda (INDEX),y
        sta FACSGN-1,x
        ora #$80
        bne :+
@byte:  lda (INDEX),y
:       sta FACM-1,x
        inx
        iny
        cpy #5
        bne @byte
        lda #0
        sta FACEXT-5,x
        rts

; Stores FAC, rounded, packed at X (low), Y (high).
STOREFAC:
        stx INDEX
        sty INDEX+1
        jsr ROUNDFAC
        ldy #4
:       lda FACEXP,y
        sta (INDEX),y
        dey
        bne :-
        lda FACSGN
        ora #$7F
        and FACM
        iny
        sta (INDEX),y
        dey
        lda FACEXP
        sta (INDEX),y
        rts

; Rounds the mantissa of FAC by its rounding byte.
ROUNDFAC:
        lda FACEXT
        bpl @done
        ldx #3
:       inc FACM,x
        bne @done
        dex
        bpl :-
        lda #$80                ; carried out of the top: 1.0 times 2
        sta FACM
        inc FACEXP
        bne @done
        jmp OVERR
@done:  lda #0
        sta FACEXT
        rts

; ARG = FAC, rounded.
FAC2ARG:
        jsr ROUNDFAC
; ARG = FAC with its rounding byte.
FACCOPY:
        ldx #6
:       lda FACEXP,x
        sta ARGEXP,x
        dex
        bpl :-
        rts

; FAC = ARG.
ARG2FAC:
        ldx #6
:       lda ARGEXP,x
        sta FACEXP,x
        dex
        bpl :-
        rts

; FAC = -FAC.
NEGFAC: lda FACEXP
        beq :+
        lda FACSGN
        eor #$FF
        sta FACSGN
:       rts

; Pushes FAC, rounded, on the CPU stack (7 bytes).
PUSHFAC:
        jsr ROUNDFAC
; The same without rounding.
PUSHNR: pla
        sta RETADR
        pla
        sta RETADR+1
        ldx #6
:       lda FACEXP,x
        pha
        dex
        bpl :-
        bmi PUSHRET

; ARG = the number PUSHFAC pushed.
POPARG: pla
        sta RETADR
        pla
        sta RETADR+1
        ldx #0
:       pla
        sta ARGEXP,x
        inx
        cpx #7
        bne :-
PUSHRET:
        lda RETADR+1
        pha
        lda RETADR
        pha
        rts

; Shifts the mantissa of FAC left until its top bit is set; 0 when nothing is left.
NORMFAC:
        lda FACM
        ora FACM+1
        ora FACM+2
        ora FACM+3
        ora FACEXT
        beq @zero
@bit:   lda FACM
        bmi NORMRTS
        asl FACEXT
        rol FACM+3
        rol FACM+2
        rol FACM+1
        rol FACM
        dec FACEXP
        bne @bit
@zero:  jmp ZEROFAC
NORMRTS:
        rts

; FAC = ARG - FAC.
FSUB:   jsr NEGFAC
; FAC = ARG + FAC.
FADD:   lda ARGEXP
        beq NORMRTS
        lda FACEXP
        beq ARG2FAC
        cmp ARGEXP              ; FAC gets the larger exponent
        bcs @sized
        ldx #6                  ; FAC and ARG change places
:       lda FACEXP,x
        ldy ARGEXP,x
        sta ARGEXP,x
        sty FACEXP,x
        dex
        bpl :-
@sized: sec
        lda FACEXP
        sbc ARGEXP
        beq @aligned
        cmp #40
        bcs @done               ; ARG is too small to count
        tax
@bits:  lsr ARGM
        ror ARGM+1
        ror ARGM+2
        ror ARGM+3
        ror ARGEXT
        dex
        bne @bits
@aligned:
        lda FACSGN
        eor ARGSGN
        bmi @sub
        clc
        ldx #4
:       lda FACM,x
        adc ARGM,x
        sta FACM,x
        dex
        bpl :-
        bcc @done
        ror FACM
        ror FACM+1
        ror FACM+2
        ror FACM+3
        ror FACEXT
        inc FACEXP
        bne @done
        jmp OVERR
@sub:   sec
        ldx #4
:       lda FACM,x
        sbc ARGM,x
        sta FACM,x
        dex
        bpl :-
        bcs :++
        ldx #4                  ; ARG was the larger: the mantissa's two's complement,
        sec                     ; and the sign turns
:       lda #0
        sbc FACM,x
        sta FACM,x
        dex
        bpl :-
        lda FACSGN
        eor #$FF
        sta FACSGN
:       jmp NORMFAC
@done:  rts

; FAC = ARG * FAC.
FMUL:   lda FACEXP
        bne :+
        rts
:       lda ARGEXP
        beq @under
        clc
        adc FACEXP
        bcc :+
        cmp #$81
        bcs @over               ; 2^129 and more
        eor #$80                ; 2^128 is 0 here: only a product below .5 fits, which
        bcc @exp                ; NORMFAC takes down to 255
:       sec
        sbc #$80
        beq @under
        bcc @under
@exp:   sta FACEXP
        lda FACSGN
        eor ARGSGN
        sta FACSGN
        ldx #3                  ; the multiplier, FAC's mantissa, by bytes from the lowest
:       lda FACM,x
        sta MUL,x
        lda #0
        sta FACM,x
        dex
        bpl :-
        sta FACEXT
        ldx #3
@byte:  lda MUL,x
        bne @bits
        ldy #3                  ; a zero byte: the product moves right by 8
        lda FACM+3
        sta FACEXT
:       lda FACM-1,y
        sta FACM,y
        dey
        bne :-
        sty FACM
        beq @next
@bits:  sta MULB
        ldy #8
@bit:   lsr MULB
        bcc @shift
        clc
        lda FACM+3
        adc ARGM+3
        sta FACM+3
        lda FACM+2
        adc ARGM+2
        sta FACM+2
        lda FACM+1
        adc ARGM+1
        sta FACM+1
        lda FACM
        adc ARGM
        sta FACM
@shift: ror FACM
        ror FACM+1
        ror FACM+2
        ror FACM+3
        ror FACEXT
        dey
        bne @bit
@next:  dex
        bpl @byte
        jsr NORMFAC
        lda FACEXP              ; still 0: too large
        beq @over
@done:  rts
@under: jmp ZEROFAC
@over:  jmp OVERR

; FAC = ARG / FAC.
FDIV:   lda FACEXP
        bne :+
        ldx #E_DZ
        jmp ERROR
:       lda ARGEXP
        beq @under
        sec
        sbc FACEXP
        bcc @neg
        cmp #127
        bcs @over
        adc #129
        bne @exp
@neg:   cmp #128
        bcc @under
        sbc #127
@exp:   sta FACEXP
        lda FACSGN
        eor ARGSGN
        sta FACSGN
        ldx #3                  ; the divisor
:       lda FACM,x
        sta MUL,x
        dex
        bpl :-
        lda #0
        sta RX
; 40 bits of quotient, a byte at a time into FACM to FACEXT, the last for rounding. The
; remainder RX:ARGM is compared from its top byte down, and the divisor taken off it in
; place only where it goes.
        tax
@byte:  ldy #8
@bit:   lda RX
        bne @sub                ; a 33rd bit: it goes
        lda ARGM
        cmp MUL
        bne @cmp
        lda ARGM+1
        cmp MUL+1
        bne @cmp
        lda ARGM+2
        cmp MUL+2
        bne @cmp
        lda ARGM+3
        cmp MUL+3
@cmp:   bcc @zero
@sub:   lsr RX                  ; what is left is below the divisor
        sec
        lda ARGM+3
        sbc MUL+3
        sta ARGM+3
        lda ARGM+2
        sbc MUL+2
        sta ARGM+2
        lda ARGM+1
        sbc MUL+1
        sta ARGM+1
        lda ARGM
        sbc MUL
        sta ARGM
        sec
@zero:  rol QBYTE
        asl ARGM+3
        rol ARGM+2
        rol ARGM+1
        rol ARGM
        rol RX
        dey
        bne @bit
        lda QBYTE
        sta FACM,x
        inx
        cpx #5
        bne @byte
        jmp NORMFAC
@under: jmp ZEROFAC
@over:  jmp OVERR

; A = 1, 0 or $FF as ARG is greater than, equal to or less than FAC, rounded; FAC stays.
FCMP:   jsr ROUNDFAC
; The same with the rounding byte of FAC.
FCMPX:  jsr PUSHNR
        jsr FSUB
        jsr FSIGN
        tay
        jsr POPARG
        jsr ARG2FAC
        tya
        rts

; A = 1, 0 or $FF as FAC is positive, zero or negative.
FSIGN:  lda FACEXP
        beq @done
        lda FACSGN
        asl a
        lda #1
        bcc @done
        lda #$FF
@done:  rts

; Shifts the mantissa of FAC right until FACEXP is 160: FACM holds the whole part of
; |FAC| as a 32-bit integer; LOST is not 0 when a fraction was dropped.
FTOI:   jsr ROUNDFAC
        sta LOST
        lda FACEXP
        bne @loop
        jmp ZEROFAC
@loop:  lda FACEXP
        cmp #160-7
        bcs @bit
        lda FACM+3              ; 8 bits at once
        ora LOST
        sta LOST
        ldx #3
:       lda FACM-1,x
        sta FACM,x
        dex
        bne :-
        stx FACM
        lda FACEXP
        adc #8                  ; carry clear from the compare
        sta FACEXP
        bne @loop
@bit:   cmp #160
        bcs @done
        lsr FACM
        ror FACM+1
        ror FACM+2
        ror FACM+3
        bcc :+
        sta LOST                ; A = FACEXP, not 0
:       inc FACEXP
        bne @loop
@done:  rts

; FAC = the largest whole number not above FAC.
FINT:   jsr ROUNDFAC
        lda FACEXP
        cmp #160
        bcs @done
        cmp #129
        bcs @part
        lda FACSGN              ; below 1 in size: 0, or -1 for a negative number
        bpl @zero
        lda FACEXP
        beq @done
        jmp TRUE
@zero:  jmp ZEROFAC
@part:  jsr FTOI
        lda FACSGN
        bpl @float
        lda LOST
        beq @float
        ldx #3
:       inc FACM,x
        bne @float
        dex
        bpl :-
@float: jmp NORMFAC
@done:  rts

; INDEX = the address at TXTPTR.
GETADR: jsr EVALNUM
; INDEX = FAC as an address: -65535 to 65535, negative ones counting back from 65536.
MAKEADR:
        ldx #145
        jsr CONVINT
        lda FACM+3
        sta INDEX
        lda FACM+2
        sta INDEX+1
        rts
; FACM+2 (high), FACM+3 (low) = FAC as an integer within -32767 to 32767, the fraction
; dropped; the error FC outside.
MAKEINT:
        ldx #144
; The same for an exponent below X.
CONVINT:
        cpx FACEXP
        beq :+
        bcs :++
:       jmp FCERR
:       jsr FTOI
        lda FACSGN
        bpl @done
        sec
        lda #0
        sbc FACM+3
        sta FACM+3
        lda #0
        sbc FACM+2
        sta FACM+2
@done:  rts

; FAC = the signed 16-bit number A (high), Y (low).
GIVAYF: sta FACM
        sty FACM+1
        sta FACSGN
        tax
        bpl FLOAT16
        sec
        lda #0
        sbc FACM+1
        sta FACM+1
        lda #0
        sbc FACM
        sta FACM
        bcc FLOAT16             ; the borrow of a number not 0
; FAC = the unsigned 16-bit number A (high), Y (low).
GIVUNS: sta FACM
        sty FACM+1
        lda #0
        sta FACSGN
FLOAT16:
        lda #144
        sta FACEXP
        lda #0
        sta FACM+2
        sta FACM+3
        sta FACEXT
        sta VALTYP
        jmp NORMFAC

; The byte at X after a comma.
COMBYTE:
        lda #','
        jsr EXPECT
; X = the number at TXTPTR, 0 to 255; the error FC outside.
GETBYTEX:
        jsr EVALNUM
; X = FAC, 0 to 255; the error FC outside.
CONVBYTE:
        jsr MAKEINT
        lda FACM+2
        beq :+
        jmp FCERR
:       ldx FACM+3
        rts

; Y = the page of the number whose address is A: the zero page below $80, else the page
; of the constants.
KPAGE:  ldy #0
        cmp #$80
        bcc :+
        ldy #>CONE
:       rts
; FAC = the number at A (a temporary or a constant); LDONE loads 1, LDT1 TEMP1, each
; skipping the load after it as the operand of a BIT.
LDONE:  lda #<CONE
        .byte $2C
LDT1:   lda #TEMP1
LDFACA: jsr KPAGE
        jmp LOADFAC
; ARG = the number at A.
LDARGA: jsr KPAGE
        jmp LOADARG
; FAC = FAC * the number at A.
MULC:   jsr LDARGA
        jmp FMUL
; FAC = FAC + the number at A (ADDONE: + 1).
ADDONE: lda #<CONE
ADDC:   jsr LDARGA
        jmp FADD
; FAC = the number at A (CSUBT3: at TEMP3) - FAC.
CSUBT3: lda #TEMP3
CSUB:   jsr LDARGA
        jmp FSUB
; FAC = the number at A / FAC.
CDIV:   jsr LDARGA
        jmp FDIV
; FAC = FAC / the number at A.
DIVC:   pha
        jsr FAC2ARG
        pla
        jsr LDFACA
        jmp FDIV
; FAC = FAC - the number at A.
SUBC:   pha
        jsr FAC2ARG
        pla
        jsr LDFACA
        jmp FSUB

; Stores FAC at the zero-page number X (STORET3: at TEMP3).
STORET3:
        ldx #TEMP3
STOREZ: ldy #0
        jmp STOREFAC

; --- numbers as text -------------------------------------------------------------

; FAC = the unsigned number at TXTPTR: digits, a point, E and a signed exponent.
FIN:    jsr ZEROFAC
        sta DEXP
        sta SIGNF               ; a point was seen
        sta EXPN
@char:  ldy #0
        lda (TXTPTR),y
        cmp #'.'
        bne @digit
        lda SIGNF
        bne @made
        inc SIGNF
        bne @next
@digit: jsr ISDIGIT
        bcs @exp
        and #$0F
        pha
        jsr FMUL10
        jsr FAC2ARG
        pla
        jsr BYTEFAC
        jsr FADD
        lda SIGNF
        beq @next
        dec DEXP
@next:  jsr ADVANCE
        bne @char               ; ADVANCE leaves Z clear
@exp:   cmp #'E'
        bne @made
        jsr ADVANCE
        ldx #0
        lda (TXTPTR),y
        cmp #'+'
        beq :+
        cmp #'-'
        bne @edigit
        dex
:       jsr ADVANCE
@edigit:
        lda (TXTPTR),y
        jsr ISDIGIT
        bcs @esign
        and #$0F
        sta NDIG
        lda EXPN
        cmp #10
        lda #99                 ; a third digit: 99 is beyond the range already
        bcs :+
        lda EXPN
        asl a
        asl a
        adc EXPN
        asl a
        adc NDIG
:       sta EXPN
        jsr ADVANCE
        bne @edigit
@esign: txa
        beq :+
        lda #0
        sec
        sbc EXPN
        sta EXPN
:       clc
        lda DEXP
        adc EXPN
        bvc :+
        lda #$80                ; far below the range
:       sta DEXP
@made:  lda DEXP                ; times or over 10^|DEXP|
        beq @done
        bpl @scale
@tenth: cmp #256-38             ; 10^38 is the largest power of ten that fits: for a
        bcs @scale              ; smaller one the number is divided by 10 first, down to
        lda #<CTEN              ; 0 when it is too small for a number
        jsr DIVC
        inc DEXP
        lda DEXP
        bne @tenth              ; still negative
@scale: jsr STORET3
        jsr LDONE
        lda DEXP
        bpl :+
        eor #$FF
        clc
        adc #1
:       sta COUNT
:       jsr FMUL10
        dec COUNT
        bne :-
        lda #TEMP3
        bit DEXP
        bmi :+
        jmp MULC
:       jmp CDIV
@done:  rts

; FAC = FAC * 10, as (FAC * 4 + FAC) * 2.
FMUL10: lda FACEXP
        beq @done
        jsr FACCOPY
        inc FACEXP
        inc FACEXP
        jsr FADD
        inc FACEXP
        bne @done
        jmp OVERR
@done:  rts

; A signed number at TXTPTR into FAC; carry set when there is none.
VALNUM: jsr SKIPSP
        ldx #0
        cmp #'+'
        beq :+
        cmp #'-'
        bne @num
        dex
:       jsr ADVANCE
@num:   txa
        pha
        jsr SKIPSP
        cmp #'.'
        beq @ok
        jsr ISDIGIT
        bcc @ok
        pla
        rts
@ok:    jsr FIN
        pla
        beq :+
        jsr NEGFAC
:       clc
        rts

; FBUF = FAC as text: a blank or "-", at most 9 digits, E notation below .01 and from
; 10^9 on. Integers have no point.
FOUT:   lda #0
        sta FPOS
        sta DEXP
        lda FACEXP
        bne :+
        lda #' '
        jsr PUTC
        lda #'0'
        jsr PUTC
        jmp @end
:       lda #' '
        ldx FACSGN
        bpl :+
        lda #'-'
:       jsr PUTC
        lda #0
        sta FACSGN
@up:    lda #<CE8               ; into 10^8 .. 10^9
        jsr LDARGA
        jsr FCMPX
        cmp #1
        bne @down
        jsr FMUL10
        dec DEXP                ; below 0 from here on
        bne @up
@down:  lda #<CE9
        jsr LDARGA
        jsr FCMPX
        cmp #1
        beq @round
        lda #<CTEN
        jsr DIVC
        inc DEXP
        jmp @down
@round: lda #<CHALF
        jsr ADDC
        jsr FTOI
        ldy #8                  ; 9 digits, the last first, by dividing by 10
@digit: lda #0
        ldx #32
@bit:   asl FACM+3
        rol FACM+2
        rol FACM+1
        rol FACM
        rol a
        cmp #10
        bcc :+
        sbc #10
        inc FACM+3
:       dex
        bne @bit
        ora #'0'
        sta DIGITS,y
        dey
        bpl @digit
        lda FACM+3              ; 10^9 after rounding: a digit is left
        beq :+
        lda #'1'
        sta DIGITS
        inc DEXP
:       ldy #9                  ; NDIG = the digits without the zeros at the end
:       dey
        beq :+
        lda DIGITS,y
        cmp #'0'
        beq :-
:       iny
        sty NDIG
        lda DEXP                ; COUNT = the digits before the point: E + 1, where 10^E
        clc                     ; is the first digit's power
        adc #9
        tax
        adc #1
        cmp #11                 ; E from -2 to 8 without E notation
        bcc :+
        ldx #1
:       ror EXPN                ; bit 7: E notation
        stx COUNT
        txa
        bmi :+
        bne @digs
:       lda #'.'                ; below 1: a point and zeros first
        jsr PUTC
:       txa
        beq :+
        lda #'0'
        jsr PUTC
        inx
        bne :-
:       stx COUNT
@digs:  ldy #0
@out:   cpy COUNT
        bne :+
        tya
        beq :+
        lda #'.'
        jsr PUTC
:       lda DIGITS,y
        jsr PUTC
        iny
        cpy NDIG
        bcc @out
        cpy COUNT
        bcc @out
        bit EXPN
        bpl @end
        lda #'E'
        jsr PUTC
        ldx #'+'
        lda DEXP
        clc
        adc #8
        bpl :+
        ldx #'-'
        eor #$FF
        adc #1
:       pha
        txa
        jsr PUTC
        pla
        ldx #'0'
:       cmp #10
        bcc :+
        sbc #10
        inx
        bne :-
:       pha
        txa
        jsr PUTC
        pla
        ora #'0'
        jsr PUTC
@end:   lda #0
; Adds A to the text in FBUF. Preserves X and Y.
PUTC:   stx SAVEX
        ldx FPOS
        sta FBUF,x
        inc FPOS
        ldx SAVEX
        rts

; --- functions -----------------------------------------------------------------------

; FAC = the polynomial at A, Y (its degree, then its coefficients from the highest power)
; of FAC.
POLY:   sta PPTR
        sty PPTR+1
        ldx #TEMP2
        jsr STOREZ
        ldy #0
        lda (PPTR),y
        sta PCNT
        inc PPTR
        bne :+
        inc PPTR+1
:       lda PPTR
        ldy PPTR+1
        jsr LOADFAC
@term:  lda #TEMP2
        jsr MULC
        lda #5
        ldx #PPTR
        jsr ADDZP
        lda PPTR
        ldy PPTR+1
        jsr LOADARG
        jsr FADD
        dec PCNT
        bne @term
        rts

; FAC = FAC * the polynomial at A, Y of FAC^2.
ODDPOLY:
        pha
        tya
        pha
        ldx #TEMP1
        jsr STOREZ
        jsr FAC2ARG
        jsr FMUL
        pla
        tay
        pla
        jsr POLY
        lda #TEMP1
        jmp MULC

; X ^ Y: by multiplying for whole powers below 256, else EXP(Y*LOG(X)).
FPWR:   lda FACEXP
        bne :+
        lda #<CONE
        jmp LDFACA
:       jsr STORET3 ; the power
        jsr ARG2FAC
        ldx #TEMP1              ; the base
        jsr STOREZ
        lda #TEMP3
        jsr LDFACA
        lda FACEXP
        cmp #137
        bcs @real
        lda FACSGN
        sta SIGNF
        jsr FTOI
        lda LOST
        bne @real
        lda FACM+3
        sta EXPN
        jsr LDONE
:       lda #TEMP1
        jsr MULC
        dec EXPN
        bne :-
        lda SIGNF
        bpl @done
        lda #<CONE
        jmp CDIV
@real:  lda TEMP1
        bne :+
        jmp ZEROFAC             ; 0 to a power
:       lda #TEMP3
        jsr LDFACA
        jsr PUSHFAC
        jsr LDT1
        jsr FLOG
        jsr POPARG
        jsr FMUL
        jmp FEXP
@done:  rts

; The square root, by Newton's steps from a first guess with half the exponent.
FSQR:   lda FACEXP
        beq @done
        lda FACSGN
        bpl :+
        jmp FCERR
:       ldx #TEMP1
        jsr STOREZ
        lda FACEXP              ; 2^(e/2 rounded up) times the mantissa: within a
        clc                     ; factor of SQR(2)
        adc #129
        ror a
        sta FACEXP
        lda #4                  ; then 4 steps leave 10^-12
        sta PCNT
@step:  ldx #TEMP2
        jsr STOREZ
        lda #TEMP1
        jsr CDIV
        lda #TEMP2
        jsr ADDC
        dec FACEXP
        dec PCNT
        bne @step
@done:  rts

; The natural logarithm: LOG(m * 2^e) = e * LN 2 + 2 atanh((m - 1) / (m + 1)).
FLOG:   lda FACSGN
        bmi :+
        lda FACEXP
        bne :++
:       jmp FCERR
:       sec
        sbc #128
        sta EXPN                ; e
        lda #128
        sta FACEXP
        lda #<CSQRH             ; m from SQR(.5) up to SQR(2)
        jsr LDARGA
        jsr FCMP
        cmp #1
        bne :+
        inc FACEXP
        dec EXPN
:       jsr STORET3
        jsr ADDONE
        ldx #TEMP2
        jsr STOREZ
        lda #TEMP3
        jsr LDFACA
        lda #<CONE
        jsr SUBC
        lda #TEMP2
        jsr DIVC
        lda #<CLOGS
        ldy #>CLOGS
        jsr ODDPOLY
        jsr STORET3
        ldy EXPN                ; + e * LN 2
        lda #0
        cpy #$80
        bcc :+
        lda #$FF
:       jsr GIVAYF
        lda #<CLN2
        jsr MULC
        lda #TEMP3
        jmp ADDC

; e to the power FAC: 2^n * e^y with n whole, y = FAC - n * LN 2 at most LN 2 / 2 in size.
FEXP:   jsr STORET3
        lda #<CLOG2E
        jsr MULC
        lda #<CHALF
        jsr ADDC
        jsr FINT
        lda FACEXP
        cmp #136
        bcc @small
        lda FACSGN              ; n beyond 127 in size
        bmi @zero
        jmp OVERR
@zero:  jmp ZEROFAC
@small: ldx #TEMP1
        jsr STOREZ
        jsr MAKEINT
        lda FACM+3
        sta EXPN
        jsr LDT1
        lda #<CLN2HI
        jsr MULC
        jsr CSUBT3
        jsr STORET3
        jsr LDT1
        lda #<CLN2LO
        jsr MULC
        jsr CSUBT3
        lda #<CEXPS
        ldy #>CEXPS
        jsr POLY
        lda EXPN
        bmi @down
        clc
        adc FACEXP
        bcc :+
        jmp OVERR
:       sta FACEXP
        rts
@down:  clc
        adc FACEXP
        bcc @zero
        beq @zero
        sta FACEXP
        rts

; The cosine: the sine of FAC + PI/2.
FCOS:   lda #<CPI2
        jsr ADDC
; The sine: FAC / (2 PI) without its whole part gives the quadrant and the angle.
FSIN:   lda FACSGN
        sta SIGNF
        lda #0
        sta FACSGN
        lda #<CR2PI
        jsr MULC
        jsr STORET3
        jsr FINT
        jsr CSUBT3 ; 0 <= u < 1
        lda FACEXP
        cmp #128
        bne :+
        lda #<CHALF             ; the second half turn: the sine of u - .5, negated
        jsr SUBC
        lda SIGNF
        eor #$80
        sta SIGNF
:       lda FACEXP
        cmp #127
        bcc :+
        lda #<CHALF             ; the second quarter: the sine of .5 - u
        jsr CSUB
:       lda #<CTWOPI
        jsr MULC
        lda #<CSINS
        ldy #>CSINS
        jsr ODDPOLY
        lda SIGNF
        bpl :+
        jmp NEGFAC
:       rts

; The tangent: SIN / COS.
FTAN:   jsr PUSHFAC
        jsr FSIN
        jsr POPARG
        jsr PUSHFAC
        jsr ARG2FAC
        jsr FCOS
        jsr POPARG
        jmp FDIV

; The arc tangent: of 1 / x from 1 on, then of x / (1 + SQR(1 + x^2)) twice, which halves
; the angle, and then by its series.
FATN:   lda FACSGN
        pha
        lda #0
        sta FACSGN
        sta FNFLAG
        lda FACEXP
        cmp #129
        bcc :+
        lda #<CONE
        jsr CDIV
        inc FNFLAG
:       lda #2
        sta EXPN
@half:  jsr STORET3
        jsr FAC2ARG
        jsr FMUL
        jsr ADDONE
        jsr FSQR
        jsr ADDONE
        lda #TEMP3
        jsr CDIV
        dec EXPN
        bne @half
        lda #<CATNS
        ldy #>CATNS
        jsr ODDPOLY
        inc FACEXP              ; the angle times 4
        inc FACEXP
        lda FNFLAG
        beq :+
        lda #<CPI2
        jsr CSUB
:       pla
        bpl :+
        jmp NEGFAC
:       rts

; RND(x): the next number of the sequence for x > 0, the last one again for 0; a negative
; x starts the sequence again from itself. The next of r is the fraction of r * 9821 + .211327.
FRND:   lda FACSGN
        bmi @next
        lda FACEXP
        beq @last
        lda #SEEDF
        jsr LDFACA
@next:  lda #<CRNDA
        jsr MULC
        lda #<CRNDB
        jsr ADDC
        jsr STORET3
        jsr FINT
        jsr CSUBT3
        ldx #SEEDF
        jsr STOREZ
@last:  lda #SEEDF
        jmp LDFACA

; --- text helpers ------------------------------------------------------------------

; A = the character at TXTPTR after blanks; Z set at the end of the line.
SKIPSP: ldy #0
@loop:  lda (TXTPTR),y
        cmp #' '
        bne @done
        jsr ADVANCE
        bne @loop                ; ADVANCE leaves Z clear
@done:  cmp #0
        rts

; Skips blanks, then requires character (or token) A and moves past it. Preserves X.
; OPENP, EQUALP and CLOSEP require "(", "=" and ")"; each skips the loads after it as the
; operand of a BIT.
OPENP:  lda #'('
        .byte $2C
EQUALP: lda #'='
        .byte $2C
CLOSEP: lda #')'
EXPECT: sta TMP+1
        jsr SKIPSP
        cmp TMP+1
        bne SNERR
; Moves TXTPTR on by one. Preserves A, X and Y.
ADVANCE:
        inc TXTPTR
        bne :+
        inc TXTPTR+1
:       rts

; Carry clear when A is a letter.
ISLETTER:
        cmp #'A'
        bcc @no
        cmp #'Z'+1
        rts
@no:    sec
        rts

; Carry clear when A is a letter or a digit.
ISALNUM:
        jsr ISDIGIT
        bcs ISLETTER
        rts

; LINENUM = the line number at TXTPTR, also in A (low) and X (high); the error SN when
; there is none.
GETLINENO:
        jsr LINEARG
        sta LINENUM
        stx LINENUM+1
        rts
; Asks the question at MSGS+X: carry set for a bare RETURN, else clear and the number alone
; on the line in A (low) and X (high); the error SN for anything else.
ASK:    jsr PRMSG
        jsr GETLINE
        jsr ATBUF               ; carry set by its compare
        beq @done
        jsr LINEARG
        jsr SKIPSP
        bne SNERR
        lda INDEX
        clc
@done:  rts

; The line number at TXTPTR in A (low) and X (high).
LINEARG:
        jsr SKIPSP
        jsr ISDIGIT
        bcs SNERR
        jsr FIN
        jsr MAKEADR
        lda INDEX
        ldx INDEX+1
        rts

; --- errors ------------------------------------------------------------------------

; Each entry loads X and skips the loads after it as the operand of a BIT.
SNERR:  ldx #E_SN
        .byte $2C
FCERR:  ldx #E_FC
        .byte $2C
OVERR:  ldx #E_OV
        .byte $2C
OMERR:  ldx #E_OM
        .byte $2C
TMERR:  ldx #E_TM
        .byte $2C
BSERR:  ldx #E_BS
; Prints "?XX ERROR [IN line]" for error X and returns to the command loop; CONT cannot
; go on after it.
ERROR:  stx ERRNUM
        ldx #$FF                ; whatever was nested on the stack ends here
        txs
        jsr FRESHLN
        lda #'?'
        jsr OUT
        ldx ERRNUM
        lda ERRCODES,x
        jsr OUT
        lda ERRCODES+1,x
        jsr OUT
        ldx #ERRMSG-MSGS
        jsr PRMSG
        lda #0
        sta OLDTXT+1
        beq ENDMSG

; Ctrl-C: BREAK IN line; CONT goes on with the statement it stopped.
BREAK:  jsr KEEPPOS
; Prints "BREAK [IN line]" and returns to the command loop.
BREAKMSG:
        jsr FRESHLN
        ldx #BRKMSG-MSGS
        jsr PRMSG
; " IN line" while a program runs; READY begins a new line.
ENDMSG: lda CURLIN+1
        beq @ready
        ldx #INMSG-MSGS
        jsr PRMSG
        ldy #1
        lda (CURLIN),y
        sta LNUM
        iny
        lda (CURLIN),y
        jsr PRUNSA
@ready: jmp READY

; --- output ------------------------------------------------------------------------

; The rest of the code lies past the cold start's entry at $BD11, where the machine's BASIC
; has it.
.segment "TAIL"

; Prints A (OUTSP: a blank) and keeps the column, beginning a new line first when the line
; has WIDTH characters (not on tape, where it would split a program line). Preserves A, X
; and Y; carry set after a printing character, clear after a control character.
OUTSP:  lda #' '
OUT:    cmp #' '
        bcc @ctl
        pha
        lda PRTCOL
        cmp WIDTH
        bcc @fits
        lda SAVEFLAG
        bne @fits
        txa
        pha
        jsr CRLF
        pla
        tax
@fits:  inc PRTCOL
        pla
@ctl:   jsr VOUTPUT
        cmp #CR
        bne :+
        pha
        lda #0
        sta PRTCOL
        pla
:       cmp #' '
        rts

; A new line unless the cursor is at the start of one.
FRESHLN:
        lda PRTCOL
        bne CRLF
        rts

; A listed line ends in CR LF; on tape in CR, ten NULs and LF, as OSI tapes have it.
LINEEND:
        ldx #0
        lda SAVEFLAG
        beq NEWLN
        ldx #10
        .byte $2C               ; skips the load below as the operand of a BIT
; A new line: CR, the NULs NULL asked for, LF. Preserves Y.
CRLF:   ldx NULCNT
; CR, X NULs, LF.
NEWLN:  lda #CR
        jsr OUT
        txa
        beq @lf
        lda #0
:       jsr VOUTPUT
        dex
        bne :-
@lf:    lda #LF
        bne OUT

; Prints the zero-terminated message at MSGS+X.
PRMSG:  lda MSGS,x
        beq @done
        jsr OUT
        inx
        bne PRMSG
@done:  rts

; Prints LNUM as an unsigned number (PRUNSA: with A as its high byte).
PRUNSA: sta LNUM+1
PRUNS:  lda LNUM+1
        ldy LNUM
        jsr GIVUNS
        jsr FOUT
        ldy #1                  ; without the blank before it
        jmp OUTFB

; Carry clear when A is a digit.
ISDIGIT:
        cmp #'0'
        bcc @no
        cmp #'9'+1
        rts
@no:    sec
        rts

.segment "RODATA"

; The messages PRMSG prints.
MSGS:
BANNER: .byte "QUARZEL BASIC", CR, LF, 0
MEMQ:   .byte "MEMORY SIZE? ", 0
WIDQ:   .byte "TERMINAL WIDTH? ", 0
FREE:   .byte " BYTES FREE", CR, LF, 0
OKMSG:  .byte "OK", CR, LF
; A missing simple variable reads here: a 0 exponent or length, the number 0 or "".
ZERO5:  .byte 0
REDO:   .byte "?REDO FROM START", CR, LF, 0
EXTRA:  .byte "?EXTRA IGNORED", CR, LF, 0
ERRMSG: .byte " ERROR", 0
BRKMSG: .byte "BREAK", 0
INMSG:  .byte " IN ", 0
.assert * - MSGS <= 256, error, "PRMSG reaches its messages with X"



; Packed numbers: the series from the highest power, each after its degree.
; 2 atanh z = z (2 + 2/3 z^2 + 2/5 z^4 ...), by the powers of z^2 from the highest
CLOGS:  .byte 5
        .byte $7E,$3A,$2E,$8B,$A3   ; 2/11
        .byte $7E,$63,$8E,$38,$E4   ; 2/9
        .byte $7F,$12,$49,$24,$92   ; 2/7
        .byte $7F,$4C,$CC,$CC,$CD   ; 2/5
        .byte $80,$2A,$AA,$AA,$AB   ; 2/3
        .byte $82,$00,$00,$00,$00   ; 2/1
; e^y = 1 + y + y^2/2! ... y^9/9!
CEXPS:  .byte 9
        .byte $6E,$38,$EF,$1D,$2B   ; 1/9!
        .byte $71,$50,$0D,$00,$D0   ; 1/8!
        .byte $74,$50,$0D,$00,$D0   ; 1/7!
        .byte $77,$36,$0B,$60,$B6   ; 1/6!
        .byte $7A,$08,$88,$88,$89   ; 1/5!
        .byte $7C,$2A,$AA,$AA,$AB   ; 1/4!
        .byte $7E,$2A,$AA,$AA,$AB   ; 1/3!
        .byte $80,$00,$00,$00,$00   ; 1/2!
        .byte $81,$00,$00,$00,$00   ; 1/1!
        .byte $81,$00,$00,$00,$00   ; 1/0!
; Two series beyond the character output's entry at $BF2D.
.segment "SERIES"
; sin a = a (1 - a^2/3! + a^4/5! ... - a^14/15!)
CSINS:  .byte 7
        .byte $58,$D7,$3F,$9F,$3A   ; -1/15!
        .byte $60,$30,$92,$30,$9D   ; +1/13!
        .byte $67,$D7,$32,$2B,$40   ; -1/11!
        .byte $6E,$38,$EF,$1D,$2B   ; +1/9!
        .byte $74,$D0,$0D,$00,$D0   ; -1/7!
        .byte $7A,$08,$88,$88,$89   ; +1/5!
        .byte $7E,$AA,$AA,$AA,$AB   ; -1/3!
        .byte $81,$00,$00,$00,$00   ; +1/1!
; atn x = x (1 - x^2/3 + x^4/5 ... + x^12/13)
CATNS:  .byte 6
        .byte $7D,$1D,$89,$D8,$9E   ; +1/13
        .byte $7D,$BA,$2E,$8B,$A3   ; -1/11
        .byte $7D,$63,$8E,$38,$E4   ; +1/9
        .byte $7E,$92,$49,$24,$92   ; -1/7
        .byte $7E,$4C,$CC,$CC,$CD   ; +1/5
        .byte $7F,$AA,$AA,$AA,$AB   ; -1/3
        .byte $81,$00,$00,$00,$00   ; +1/1

.segment "RODATA"

; Keywords in token order, the last letter of each with bit 7 set.
.macro KW text
        .repeat .strlen(text) - 1, i
        .byte .strat(text, i)
        .endrepeat
        .byte .strat(text, .strlen(text) - 1) | $80
.endmacro
KEYWORDS:
        KW "END"
        KW "FOR"
        KW "NEXT"
        KW "DATA"
        KW "INPUT"
        KW "DIM"
        KW "READ"
        KW "LET"
        KW "GOTO"
        KW "RUN"
        KW "IF"
        KW "RESTORE"
        KW "GOSUB"
        KW "RETURN"
        KW "REM"
        KW "STOP"
        KW "ON"
        KW "NULL"
        KW "WAIT"
        KW "LOAD"
        KW "SAVE"
        KW "DEF"
        KW "POKE"
        KW "PRINT"
        KW "CONT"
        KW "LIST"
        KW "CLEAR"
        KW "NEW"
        KW "TAB("
        KW "TO"
        KW "FN"
        KW "SPC("
        KW "THEN"
        KW "NOT"
        KW "STEP"
        KW "AND"
        KW "OR"
        KW "SGN"
        KW "INT"
        KW "ABS"
        KW "USR"
        KW "FRE"
        KW "POS"
        KW "SQR"
        KW "RND"
        KW "LOG"
        KW "EXP"
        KW "COS"
        KW "SIN"
        KW "TAN"
        KW "ATN"
        KW "PEEK"
        KW "STR$"
        KW "CHR$"
        KW "LEN"
        KW "VAL"
        KW "ASC"
        KW "LEFT$"
        KW "RIGHT$"
        KW "MID$"
        .byte 0

; Single packed numbers, at $BF80 and above: KPAGE tells them from the zero page. Some
; text fills the rest.
.segment "KONST"
ERRCODES:
        .byte "NFSNRGODFCOVOMULBSDD/0IDTMLSSTCNUF"
CONE:   .byte $81,$00,$00,$00,$00   ; 1
CTEN:   .byte $84,$20,$00,$00,$00   ; 10
CHALF:  .byte $80,$00,$00,$00,$00   ; 0.5
CE8:    .byte $9B,$3E,$BC,$20,$00   ; 10^8
CE9:    .byte $9E,$6E,$6B,$28,$00   ; 10^9
CSQRH:  .byte $80,$35,$04,$F3,$34   ; the square root of 0.5
CLN2:  .byte $80,$31,$72,$17,$F8   ; ln 2
CLN2HI: .byte $80,$31,$72,$00,$00   ; ln 2, its first 16 bits
CLN2LO: .byte $6D,$3F,$BE,$8E,$7C   ; the rest of ln 2
CLOG2E: .byte $81,$38,$AA,$3B,$29   ; 1 / ln 2
CPI2:   .byte $81,$49,$0F,$DA,$A2   ; pi/2
CR2PI:  .byte $7E,$22,$F9,$83,$6E   ; 1 / (2 pi)
CTWOPI: .byte $83,$49,$0F,$DA,$A2   ; 2 pi
CRNDA:  .byte $8E,$19,$74,$00,$00   ; 9821
CRNDB:  .byte $7E,$58,$66,$1A,$E7   ; .211327
CMONE:  .byte $81,$80,$00,$00,$00   ; -1

; A routine in the room after the constants.
.segment "KCODE"

; Carry clear when a comma follows; TXTPTR past it.
CHKCOM: jsr SKIPSP
        cmp #','
        sec
        bne :+
        clc
        jmp ADVANCE
:       rts

; Where software for the machine's BASIC starts it cold and prints a character.
.segment "COLDJ"
        jmp COLD
.segment "OUTJ"
        jmp SCROUT
