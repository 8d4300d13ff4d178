; Quarzel BASIC: a line-numbered integer BASIC for the 8 KB BASIC ROM at $A000.
; Numbers are signed 16-bit integers; variables are the letters A to Z.

.include "../quarzel.inc"

; Zero page.
TXTPTR  = $00           ; the text being executed
CURLIN  = $02           ; the line record being executed; high byte 0 in direct mode
ACC     = $04           ; expression result
ARG     = $06           ; right operand
PTR1    = $08
PTR2    = $0A
PTR3    = $0C
PROGEND = $0E           ; the end marker of the program (a 0 length byte)
MEMTOP  = $10           ; the first address past usable RAM
GOSP    = $12           ; GOSUB stack depth in bytes
FORSP   = $13           ; FOR stack depth in bytes
TMP     = $14
SIGN    = $16
LINENUM = $18
SEED    = $1A
PRTCOL  = $1C           ; print column, for the comma's zones
LISTLO  = $1D
LISTHI  = $1F
BUFPTR  = $21           ; the buffer INPUTLINE fills
BUFMAX  = $23
QUOTE   = $24
COUNT   = $25
CHAR    = $26
ARREND  = $27           ; the end of the arrays, which follow the program
REF     = $29           ; the two bytes of a variable or array element
TMPV    = $2B
VARS    = $80           ; A to Z, two bytes each

LINEBUF = $0220         ; a typed line, 127 characters at most
INBUF   = $02A0         ; an answer to INPUT, 63 characters at most
GOSTACK = $0300         ; 16 entries: text pointer, line pointer
FORSTACK = $0340        ; 6 entries: variable, limit, step, text pointer, line pointer
PROGRAM = $0380

GOSUBMAX = 64
FORSIZE  = 9
FORMAX   = 6 * FORSIZE

CR      = $0D
LF      = $0A

; Tokens.
T_END    = $80
T_FOR    = $81
T_NEXT   = $82
T_IF     = $83
T_GOTO   = $84
T_GOSUB  = $85
T_RETURN = $86
T_REM    = $87
T_PRINT  = $88
T_INPUT  = $89
T_LET    = $8A
T_STOP   = $8B
T_LIST   = $8C
T_RUN    = $8D
T_NEW    = $8E
T_CLEAR  = $8F
T_POKE   = $90
T_LOAD   = $91
T_SAVE   = $92
T_DIM    = $93
T_THEN   = $94
T_TO     = $95
T_STEP   = $96
T_PEEK   = $97
T_USR    = $98
T_RND    = $99
T_ABS    = $9A
T_AND    = $9B
T_OR     = $9C
T_NOT    = $9D

; Error numbers: offsets into ERRTAB.
E_SYNTAX = 0
E_LINE   = 2
E_RETURN = 4
E_NEXT   = 6
E_DIV0   = 8
E_OVER   = 10
E_MEMORY = 12
E_GOSUB  = 14
E_FOR    = 16
E_RANGE  = 18
E_UNDIM  = 20
E_REDIM  = 22

.segment "CODE"

        jmp COLD
        jmp WARM

; --- start ------------------------------------------------------------------------

COLD:   cld
        ldx #$FF
        txs
        jsr FINDTOP
        jsr DONEW
        lda #1
        sta SEED
        ldx #<BANNER
        ldy #>BANNER
        jsr PRSTR
        sec                     ; bytes free = MEMTOP - PROGEND - 1
        lda MEMTOP
        sbc PROGEND
        sta ACC
        lda MEMTOP+1
        sbc PROGEND+1
        sta ACC+1
        lda ACC
        bne :+
        dec ACC+1
:       dec ACC
        jsr PRUNS
        ldx #<FREE
        ldy #>FREE
        jsr PRSTR
        jmp READY

; A warm start keeps the program: its end is found again by walking it.
WARM:   cld
        ldx #$FF
        txs
        lda MEMTOP+1
        bne :+
        jsr FINDTOP
:       lda #<PROGRAM
        sta PTR1
        lda #>PROGRAM
        sta PTR1+1
        ldy #0
@walk:  lda (PTR1),y
        beq @end
        jsr NEXTREC
        lda PTR1+1
        cmp MEMTOP+1
        bcc @walk
        jsr DONEW               ; not a program: start empty
        jmp READY
@end:   lda PTR1
        sta PROGEND
        lda PTR1+1
        sta PROGEND+1
        jsr DOCLEAR
        jmp READY

; MEMTOP = the first page from the program area up that does not keep what is written.
FINDTOP:
        lda #0
        sta MEMTOP
        ldy #0
        lda #>PROGRAM
        sta MEMTOP+1
@page:  inc MEMTOP+1
        lda MEMTOP+1
        cmp #>BASIC_COLD
        beq @done
        lda (MEMTOP),y
        tax
        lda #$55
        sta (MEMTOP),y
        cmp (MEMTOP),y
        bne @done
        lda #$AA
        sta (MEMTOP),y
        cmp (MEMTOP),y
        bne @done
        txa
        sta (MEMTOP),y
        jmp @page
@done:  rts

; --- the command loop ------------------------------------------------------------

READY:  lda PRTCOL
        beq :+
        jsr CRLF
:       ldx #<OKMSG
        ldy #>OKMSG
        jsr PRSTR
MAIN:   ldx #$FF
        txs
        lda #0
        sta CURLIN+1
        lda #<LINEBUF
        sta BUFPTR
        lda #>LINEBUF
        sta BUFPTR+1
        lda #127
        sta BUFMAX
        jsr INPUTLINE
        jsr TOKENIZE
        lda #<LINEBUF
        sta TXTPTR
        lda #>LINEBUF
        sta TXTPTR+1
        jsr SKIPSP
        beq MAIN
        jsr ISDIGIT
        bcs @direct
        jsr GETNUM
        lda ACC
        sta LINENUM
        lda ACC+1
        sta LINENUM+1
        jsr STORELINE
        jmp MAIN
@direct:
        jsr EXEC
        jmp READY

; --- line input ------------------------------------------------------------------

; Reads a line into the buffer at BUFPTR (at most BUFMAX characters), zero-terminated.
; RUB OUT and "_" take back a character; "@" cancels the line. RETURN ends the line, and
; so does LINE FEED after some text.
INPUTLINE:
        ldy #0
@key:   jsr INCH
        cmp #CR
        beq @done
        cmp #LF                 ; text files may end their lines in LF alone
        bne :+
        cpy #0
        bne @done
:       cmp #$7F
        beq @back
        cmp #$08
        beq @back
        cmp #'_'
        beq @back
        cmp #'@'
        beq @cancel
        cmp #' '
        bcc @key
        cpy BUFMAX
        bcs @key
        sta (BUFPTR),y
        iny
        jsr OUT
        jmp @key
@back:  cpy #0
        beq @key
        dey
        lda #$08
        jsr OUT
        jmp @key
@cancel:
        jsr OUT
        jsr CRLF
        jmp INPUTLINE
@done:  lda #0
        sta (BUFPTR),y
        jmp CRLF

; Upper-cases everything outside quotes, then replaces keywords by tokens, in place.
TOKENIZE:
        ldy #0
        sty QUOTE
@upper: lda LINEBUF,y
        beq @tokens
        cmp #'"'
        bne :+
        lda QUOTE
        eor #1
        sta QUOTE
        lda #'"'
:       ldx QUOTE
        bne @next
        cmp #'a'
        bcc @next
        cmp #'z'+1
        bcs @next
        and #$DF
        sta LINEBUF,y
@next:  iny
        bne @upper
@tokens:
        ldx #0                  ; X reads, Y writes
        ldy #0
        sty QUOTE
@char:  lda LINEBUF,x
        beq @end
        cmp #'"'
        bne :+
        pha
        lda QUOTE
        eor #1
        sta QUOTE
        pla
:       bit QUOTE
        bmi @copy               ; after REM: copy everything
        sta CHAR
        lda QUOTE
        bne @copyc              ; inside quotes
        lda CHAR
        cmp #'?'
        bne @match
        lda #T_PRINT
        inx
        bne @put
@match: jsr MATCHKW
        bcs @copy1
@put:   sta LINEBUF,y
        iny
        cmp #T_REM
        bne @char
        lda #$80
        sta QUOTE
        bne @char
@copy1: lda LINEBUF,x
        bne @copy
@copyc: lda CHAR
@copy:  sta LINEBUF,y
        inx
        iny
        bne @char
@end:   sta LINEBUF,y
        rts

; Tries every keyword at LINEBUF+X. Match: carry clear, A = token, X past the keyword.
MATCHKW:
        stx TMP
        lda #<KEYWORDS
        sta PTR3
        lda #>KEYWORDS
        sta PTR3+1
        lda #T_END
        sta TMP+1
@word:  ldx TMP
        sty COUNT
        ldy #0
@cmp:   lda (PTR3),y
        beq @none
        and #$7F
        cmp LINEBUF,x
        bne @skip
        inx
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
:       inc TMP+1
        ldy COUNT
        jmp @word
@none:  ldy COUNT
        ldx TMP
        sec
        rts

; --- the program store -----------------------------------------------------------

; Inserts, replaces or deletes line LINENUM; its text starts at TXTPTR.
STORELINE:
        jsr FINDLINE
        bcs @insert
        ldy #0                  ; remove the old line: move the rest down over it
        lda (PTR1),y
        sta TMP
        clc
        adc PTR1
        sta PTR2
        lda PTR1+1
        adc #0
        sta PTR2+1
@down:  lda (PTR2),y
        sta (PTR1),y
        lda PTR2
        cmp PROGEND
        bne :+
        lda PTR2+1
        cmp PROGEND+1
        beq @moved
:       inc PTR1
        bne :+
        inc PTR1+1
:       inc PTR2
        bne @down
        inc PTR2+1
        bne @down
@moved: sec
        lda PROGEND
        sbc TMP
        sta PROGEND
        bcs :+
        dec PROGEND+1
:       jsr FINDLINE
@insert:
        ldy #0                  ; an empty line only deletes
        lda (TXTPTR),y
        bne :+
        jmp DOCLEAR
:
        ldy #$FF                ; length of the text
:       iny
        lda (TXTPTR),y
        bne :-
        tya
        clc
        adc #4
        sta COUNT               ; the record: length, number, text, 0
        clc
        adc PROGEND
        sta PTR2
        lda PROGEND+1
        adc #0
        sta PTR2+1
        cmp MEMTOP+1            ; room below MEMTOP?
        bcc @room
        bne @full
        lda PTR2
        cmp MEMTOP
        bcc @room
@full:  ldx #E_MEMORY
        jmp ERROR
@room:  lda PROGEND             ; move PTR1..PROGEND up by COUNT, from the top
        sta PTR3
        lda PROGEND+1
        sta PTR3+1
        ldy #0
@up:    lda (PTR3),y
        sta (PTR2),y
        lda PTR3
        cmp PTR1
        bne :+
        lda PTR3+1
        cmp PTR1+1
        beq @write
:       lda PTR3
        bne :+
        dec PTR3+1
:       dec PTR3
        lda PTR2
        bne :+
        dec PTR2+1
:       dec PTR2
        jmp @up
@write: clc
        lda PROGEND
        adc COUNT
        sta PROGEND
        bcc :+
        inc PROGEND+1
:       ldy #0
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
        inc TXTPTR
        bne :+
        inc TXTPTR+1
:       cmp #0
        bne :--
@done:  jmp DOCLEAR

; PTR1 = the first line whose number is LINENUM or more (or the end marker);
; carry clear when it is exactly LINENUM.
FINDLINE:
        lda #<PROGRAM
        sta PTR1
        lda #>PROGRAM
        sta PTR1+1
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

DONEW:  lda #<PROGRAM
        sta PROGEND
        lda #>PROGRAM
        sta PROGEND+1
        lda #0
        tay
        sta (PROGEND),y
DOCLEAR:
        clc
        lda PROGEND
        adc #1
        sta ARREND
        lda PROGEND+1
        adc #0
        sta ARREND+1
        lda #0
        ldx #51
:       sta VARS,x
        dex
        bpl :-
        sta GOSP
        sta FORSP
        rts

; --- execution -------------------------------------------------------------------

; Executes statements from TXTPTR to the end of the line and on through the program.
EXEC:   jsr BRKCHK
        bcc :+
        jmp BREAK
:       jsr SKIPSP
        beq ENDLINE
        cmp #':'
        bne @stmt
        jsr ADVANCE
        jmp EXEC
@stmt:  jsr STATEMENT
        jsr SKIPSP
        beq ENDLINE
        cmp #':'
        beq EXEC
        jmp SYNERR

; The end of a line: on to the next one, or back to the command loop.
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
        bne :+
        jmp READY
:       jsr LINESTART
        jmp EXEC

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

; Statement handlers that move elsewhere drop the return into EXEC and continue there.
CONTINUE:
        pla
        pla
        jmp EXEC
SKIPLINE:
        pla
        pla
        jmp ENDLINE

STATEMENT:
        cmp #T_END
        bcc @let
        cmp #T_THEN
        bcs @syntax
        jsr ADVANCE
        sec
        sbc #T_END
        asl a
        tax
        lda STMTS+1,x
        pha
        lda STMTS,x
        pha
        rts
@let:   jmp DOLET
@syntax:
        jmp SYNERR

STMTS:  .word DOEND-1, DOFOR-1, DONEXT-1, DOIF-1, DOGOTO-1, DOGOSUB-1, DORETURN-1, DOREM-1
        .word DOPRINT-1, DOINPUT-1, DOLET-1, DOSTOP-1, DOLIST-1, DORUN-1, DONEWCMD-1, DOCLEAR-1
        .word DOPOKE-1, DOLOAD-1, DOSAVE-1, DODIM-1

DOEND:  jmp READY

DOSTOP: jmp BREAK

DOREM:  jmp SKIPLINE

DONEWCMD:
        jsr DONEW
        jmp READY

DOLOAD: lda #1
        sta LOADFLAG
        rts

DORUN:  jsr DOCLEAR
        jsr SKIPSP
        beq @first
        cmp #':'
        beq @first
        jmp DOGOTO
@first: lda #<PROGRAM
        sta CURLIN
        lda #>PROGRAM
        sta CURLIN+1
        ldy #0
        lda (CURLIN),y
        bne :+
        jmp READY
:       jsr LINESTART
        jmp CONTINUE

DOGOTO: jsr EXPR
GOLINE: jsr SETLINE
        jmp CONTINUE

; CURLIN and TXTPTR = line ACC, or the error for a line that is not there.
SETLINE:
        lda ACC
        sta LINENUM
        lda ACC+1
        sta LINENUM+1
        jsr FINDLINE
        bcc :+
        ldx #E_LINE
        jmp ERROR
:       lda PTR1
        sta CURLIN
        lda PTR1+1
        sta CURLIN+1
        jmp LINESTART

DOGOSUB:
        jsr EXPR
        ldx GOSP
        cpx #GOSUBMAX
        bcc :+
        ldx #E_GOSUB
        jmp ERROR
:       lda TXTPTR
        sta GOSTACK,x
        lda TXTPTR+1
        sta GOSTACK+1,x
        lda CURLIN
        sta GOSTACK+2,x
        lda CURLIN+1
        sta GOSTACK+3,x
        inx
        inx
        inx
        inx
        stx GOSP
        jmp GOLINE

DORETURN:
        ldx GOSP
        bne :+
        ldx #E_RETURN
        jmp ERROR
:       dex
        dex
        dex
        dex
        stx GOSP
        lda GOSTACK,x
        sta TXTPTR
        lda GOSTACK+1,x
        sta TXTPTR+1
        lda GOSTACK+2,x
        sta CURLIN
        lda GOSTACK+3,x
        sta CURLIN+1
        rts

DOIF:   jsr EXPR
        jsr SKIPSP
        cmp #T_GOTO
        beq @then
        cmp #T_THEN
        beq @then
        jmp SYNERR
@then:  jsr ADVANCE
        lda ACC
        ora ACC+1
        bne :+
        jmp SKIPLINE
:       jsr SKIPSP
        jsr ISDIGIT
        bcs :+
        jsr EXPR
        jmp GOLINE
:       jmp CONTINUE

; [LET] variable or array element = expression
DOLET:  jsr GETREF
        bcc :+
        jmp SYNERR
:       lda REF+1
        pha
        lda REF
        pha
        lda #'='
        jsr EXPECT
        jsr EXPR
        pla
        sta REF
        pla
        sta REF+1
; Stores ACC at REF.
STOREREF:
        ldy #0
        lda ACC
        sta (REF),y
        iny
        lda ACC+1
        sta (REF),y
        rts

DOPOKE: jsr EXPR
        jsr PUSHACC
        lda #','
        jsr EXPECT
        jsr EXPR
        jsr POPARG
        lda ACC
        ldy #0
        sta (ARG),y
        rts

; FOR variable = start TO limit [STEP step]
DOFOR:  jsr GETVAR
        bcc :+
        jmp SYNERR
:       pha                     ; the variable's offset
        lda #'='
        jsr EXPECT
        jsr EXPR
        pla
        tax
        lda ACC
        sta VARS,x
        lda ACC+1
        sta VARS+1,x
        txa
        pha
        lda #T_TO
        jsr EXPECT
        jsr EXPR
        lda ACC
        pha
        lda ACC+1
        pha
        lda #1
        sta ACC
        lda #0
        sta ACC+1
        jsr SKIPSP
        cmp #T_STEP
        bne :+
        jsr ADVANCE
        jsr EXPR
:       pla                     ; the limit
        sta ARG+1
        pla
        sta ARG
        pla
        sta TMP
        jsr FINDFOR             ; a loop on the same variable starts again
        bcs :+
        stx FORSP
:       ldx FORSP
        cpx #FORMAX
        bcc :+
        ldx #E_FOR
        jmp ERROR
:       lda TMP
        sta FORSTACK,x
        lda ARG
        sta FORSTACK+1,x
        lda ARG+1
        sta FORSTACK+2,x
        lda ACC
        sta FORSTACK+3,x
        lda ACC+1
        sta FORSTACK+4,x
        lda TXTPTR
        sta FORSTACK+5,x
        lda TXTPTR+1
        sta FORSTACK+6,x
        lda CURLIN
        sta FORSTACK+7,x
        lda CURLIN+1
        sta FORSTACK+8,x
        txa
        clc
        adc #FORSIZE
        sta FORSP
        rts

; The FOR entry of variable TMP: carry clear and X = its offset.
FINDFOR:
        ldx FORSP
@prev:  txa
        beq @none
        sec
        sbc #FORSIZE
        tax
        lda FORSTACK,x
        cmp TMP
        bne @prev
        clc
        rts
@none:  sec
        rts

; NEXT [variable]
DONEXT: jsr GETVAR
        bcc @named
        ldx FORSP
        bne :+
        jmp NEXTERR
:       lda FORSTACK-FORSIZE,x
@named: sta TMP
        jsr FINDFOR
        bcc :+
NEXTERR:
        ldx #E_NEXT
        jmp ERROR
:       txa
        clc
        adc #FORSIZE
        sta FORSP               ; inner loops end with this one
        ldy FORSTACK,x          ; variable += step
        clc
        lda VARS,y
        adc FORSTACK+3,x
        sta VARS,y
        lda VARS+1,y
        adc FORSTACK+4,x
        sta VARS+1,y
        bvs @done               ; past the end of the number range
        sec                     ; the order of variable and limit
        lda VARS,y
        sbc FORSTACK+1,x
        lda VARS+1,y
        sbc FORSTACK+2,x
        bvc :+
        eor #$80
:       sta TMP                 ; bit 7: variable < limit
        lda VARS,y
        cmp FORSTACK+1,x
        bne @order
        lda VARS+1,y
        cmp FORSTACK+2,x
        beq @again              ; the limit itself still runs
@order: lda TMP                 ; on while below the limit, or above it with a negative step
        eor FORSTACK+4,x
        bmi @again
        bpl @done
@again: lda FORSTACK+5,x
        sta TXTPTR
        lda FORSTACK+6,x
        sta TXTPTR+1
        lda FORSTACK+7,x
        sta CURLIN
        lda FORSTACK+8,x
        sta CURLIN+1
        rts
@done:  txa
        sta FORSP
        rts

; PRINT items separated by ; and , (the comma moves to the next column of 8)
DOPRINT:
        jsr SKIPSP
        beq @newline
        cmp #':'
        beq @newline
@item:  cmp #'"'
        bne @sep
        jsr ADVANCE
@str:   ldy #0
        lda (TXTPTR),y
        beq @next
        jsr ADVANCE
        cmp #'"'
        beq @next
        jsr OUT
        jmp @str
@sep:   cmp #';'
        beq @semi
        cmp #','
        bne @expr
@tab:   lda #' '
        jsr OUT
        lda PRTCOL
        and #7
        bne @tab
@semi:  jsr ADVANCE
        jsr SKIPSP
        beq @done
        cmp #':'
        beq @done
        bne @item
@expr:  jsr EXPR
        jsr PRNUM
@next:  jsr SKIPSP
        beq @newline
        cmp #':'
        bne @item
@newline:
        jmp CRLF
@done:  rts

; INPUT ["prompt";] variable [, variable ...]
DOINPUT:
        jsr SKIPSP
        cmp #'"'
        bne @ask
        jsr ADVANCE
:       ldy #0
        lda (TXTPTR),y
        beq @ask
        jsr ADVANCE
        cmp #'"'
        beq :+
        jsr OUT
        jmp :-
:       lda #';'
        jsr EXPECT
@ask:   lda TXTPTR              ; kept for a retry
        sta LISTLO
        lda TXTPTR+1
        sta LISTLO+1
@again: jsr ANSWER
@var:   jsr GETREF
        bcc :+
        jmp SYNERR
:       jsr ANSNUM
        bcs @redo
        jsr STOREREF
        jsr SKIPSP
        cmp #','
        bne @done
        jsr ADVANCE
        ldy #0                  ; more variables: take the next answer after a comma
        lda (PTR3),y
        cmp #','
        bne :+
        inc PTR3
        jmp @var
:       lda #'?'
        jsr OUT
        jsr ANSWER
        jmp @var
@redo:  ldx #<REDO
        ldy #>REDO
        jsr PRSTR
        lda LISTLO
        sta TXTPTR
        lda LISTLO+1
        sta TXTPTR+1
        jmp @again
@done:  rts

; Prints "? " and reads an answer into INBUF; PTR3 points at it.
ANSWER: lda #'?'
        jsr OUT
        lda #' '
        jsr OUT
        lda #<INBUF
        sta BUFPTR
        sta PTR3
        lda #>INBUF
        sta BUFPTR+1
        sta PTR3+1
        lda #63
        sta BUFMAX
        jmp INPUTLINE

; A signed number from the answer at PTR3 into ACC; carry set when there is none.
ANSNUM: lda TXTPTR
        pha
        lda TXTPTR+1
        pha
        lda PTR3
        sta TXTPTR
        lda PTR3+1
        sta TXTPTR+1
        jsr SKIPSP
        ldx #0
        cmp #'-'
        bne :+
        inx
        jsr ADVANCE
        jsr SKIPSP
:       stx SIGN
        jsr ISDIGIT
        bcs @bad
        jsr GETNUM
        lda SIGN
        beq :+
        jsr NEGATE
:       jsr SKIPSP
        beq @ok
        cmp #','
        bne @bad
@ok:    lda TXTPTR
        sta PTR3
        lda TXTPTR+1
        sta PTR3+1
        clc
        bcc @out
@bad:   sec
@out:   pla
        sta TXTPTR+1
        pla
        sta TXTPTR
        rts

; LIST [from][-[to]]
DOLIST: lda #0
        sta LISTLO
        sta LISTLO+1
        lda #$FF
        sta LISTHI
        sta LISTHI+1
        jsr SKIPSP
        jsr ISDIGIT
        bcs @dash
        jsr GETNUM
        lda ACC
        sta LISTLO
        sta LISTHI
        lda ACC+1
        sta LISTLO+1
        sta LISTHI+1
@dash:  jsr SKIPSP
        cmp #'-'
        bne @list
        jsr ADVANCE
        lda #$FF
        sta LISTHI
        sta LISTHI+1
        jsr SKIPSP
        jsr ISDIGIT
        bcs @list
        jsr GETNUM
        lda ACC
        sta LISTHI
        lda ACC+1
        sta LISTHI+1
@list:  jsr LISTALL
        rts

; Lists the lines from LISTLO to LISTHI; Ctrl-C stops.
LISTALL:
        lda LISTLO
        sta LINENUM
        lda LISTLO+1
        sta LINENUM+1
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
        sta ACC
        iny
        lda (PTR1),y
        sta ACC+1
        jsr PRUNS
        ldy #3
@text:  lda (PTR1),y
        beq @end
        bpl @plain
        jsr PRTOKEN
        jmp @more
@plain: jsr OUT
@more:  iny
        bne @text
@end:   jsr LINEEND
        jsr NEXTREC
        jmp @line
@done:  rts

; A listed line ends in CR LF; on tape in CR, ten NULs and LF, as OSI tapes have it.
LINEEND:
        lda #CR
        jsr OUT
        lda SAVEFLAG
        beq @lf
        ldx #10
        lda #0
:       jsr OUTCH
        dex
        bne :-
@lf:    lda #LF
        jmp OUT

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
        sta LISTLO
        sta LISTLO+1
        lda #$FF
        sta LISTHI
        sta LISTHI+1
        jsr LISTALL
        lda #0
        sta SAVEFLAG
        rts

; --- expressions -----------------------------------------------------------------

; ACC = the value of the expression at TXTPTR.
EXPR:   jsr ANDEXPR
@or:    jsr SKIPSP
        cmp #T_OR
        bne @done
        jsr ADVANCE
        jsr PUSHACC
        jsr ANDEXPR
        jsr POPARG
        lda ACC
        ora ARG
        sta ACC
        lda ACC+1
        ora ARG+1
        sta ACC+1
        jmp @or
@done:  rts

ANDEXPR:
        jsr NOTEXPR
@and:   jsr SKIPSP
        cmp #T_AND
        bne @done
        jsr ADVANCE
        jsr PUSHACC
        jsr NOTEXPR
        jsr POPARG
        lda ACC
        and ARG
        sta ACC
        lda ACC+1
        and ARG+1
        sta ACC+1
        jmp @and
@done:  rts

NOTEXPR:
        jsr SKIPSP
        cmp #T_NOT
        bne RELEXPR
        jsr ADVANCE
        jsr NOTEXPR
        lda ACC
        eor #$FF
        sta ACC
        lda ACC+1
        eor #$FF
        sta ACC+1
        rts

; sum [relation sum]: -1 when the relation holds, else 0. The relation is a set of
; bits: 1 less, 2 equal, 4 greater.
RELEXPR:
        jsr SUMEXPR
        lda #0
        sta TMP
@op:    jsr SKIPSP
        ldx #1
        cmp #'<'
        beq @bit
        ldx #2
        cmp #'='
        beq @bit
        ldx #4
        cmp #'>'
        bne @rel
@bit:   txa
        ora TMP
        sta TMP
        jsr ADVANCE
        jmp @op
@rel:   lda TMP
        bne :+
        rts
:       pha
        jsr PUSHACC
        jsr SUMEXPR
        jsr POPARG              ; ARG = left, ACC = right
        lda ARG
        cmp ACC
        bne @order
        lda ARG+1
        cmp ACC+1
        bne @order
        lda #2
        bne @test
@order: sec
        lda ARG
        sbc ACC
        lda ARG+1
        sbc ACC+1
        bvc :+
        eor #$80
:       bmi @less
        lda #4
        bne @test
@less:  lda #1
@test:  sta TMP
        pla
        and TMP
        beq :+
        lda #$FF
:       sta ACC
        sta ACC+1
        rts

SUMEXPR:
        jsr TERM
@op:    jsr SKIPSP
        cmp #'+'
        beq @add
        cmp #'-'
        beq @sub
        rts
@add:   jsr ADVANCE
        jsr PUSHACC
        jsr TERM
        jsr POPARG
        clc
        lda ARG
        adc ACC
        sta ACC
        lda ARG+1
        adc ACC+1
        sta ACC+1
        jmp @op
@sub:   jsr ADVANCE
        jsr PUSHACC
        jsr TERM
        jsr POPARG
        sec
        lda ARG
        sbc ACC
        sta ACC
        lda ARG+1
        sbc ACC+1
        sta ACC+1
        jmp @op

TERM:   jsr UNARY
@op:    jsr SKIPSP
        cmp #'*'
        beq @mul
        cmp #'/'
        beq @div
        rts
@mul:   jsr ADVANCE
        jsr PUSHACC
        jsr UNARY
        jsr POPARG
        jsr MULTIPLY
        jmp @op
@div:   jsr ADVANCE
        jsr PUSHACC
        jsr UNARY
        jsr POPARG
        jsr DIVIDE
        jmp @op

UNARY:  jsr SKIPSP
        cmp #'-'
        bne :+
        jsr ADVANCE
        jsr UNARY
        jmp NEGATE
:       cmp #'+'
        bne PRIMARY
        jsr ADVANCE
        jmp UNARY

PRIMARY:
        jsr ISDIGIT
        bcs :+
        jmp GETNUM
:       cmp #'('
        bne @var
        jsr ADVANCE
        jsr EXPR
        lda #')'
        jmp EXPECT
@var:   jsr GETREF
        bcs @func
        ldy #0
        lda (REF),y
        sta ACC
        iny
        lda (REF),y
        sta ACC+1
        rts
@func:  jsr SKIPSP
        cmp #T_PEEK
        bcc @bad
        cmp #T_ABS+1
        bcs @bad
        pha
        jsr ADVANCE
        lda #'('
        jsr EXPECT
        jsr EXPR
        lda #')'
        jsr EXPECT
        pla
        cmp #T_PEEK
        beq @peek
        cmp #T_USR
        beq @usr
        cmp #T_RND
        beq @rnd
        lda ACC+1               ; ABS
        bpl :+
        jmp NEGATE
:       rts
@peek:  ldy #0
        lda (ACC),y
        sta ACC
        sty ACC+1
        rts
@usr:   jsr @call
        sta ACC
        sty ACC+1
        rts
@call:  lda #0
        tax
        tay
        jmp (ACC)
@rnd:   jmp RANDOM
@bad:   jmp SYNERR

; RND(n): 1 to n for n > 0, 0 to 32767 for n = 0; n < 0 seeds the generator.
RANDOM: lda ACC+1
        bpl @next
        lda ACC
        sta SEED
        lda ACC+1
        sta SEED+1
@next:  lda SEED+1              ; xorshift: x ^= x << 7, x ^= x >> 9, x ^= x << 8
        lsr a
        lda SEED
        ror a
        eor SEED+1
        sta SEED+1
        ror a
        eor SEED
        sta SEED
        eor SEED+1
        sta SEED+1
        lda ACC+1
        bmi @raw
        ora ACC
        beq @raw
        lda SEED                ; 1 + (x mod n)
        sta ARG
        lda SEED+1
        and #$7F
        sta ARG+1
        jsr DIVIDE
        lda PTR2
        sta ACC
        lda PTR2+1
        sta ACC+1
        inc ACC
        bne :+
        inc ACC+1
:       rts
@raw:   lda SEED
        sta ACC
        lda SEED+1
        and #$7F
        sta ACC+1
        rts

SWAP:   ldx #1
:       lda ACC,x
        ldy ARG,x
        sta ARG,x
        sty ACC,x
        dex
        bpl :-
        rts

PUSHACC:
        pla
        sta PTR3
        pla
        sta PTR3+1
        lda ACC+1
        pha
        lda ACC
        pha
        lda PTR3+1
        pha
        lda PTR3
        pha
        rts

; ARG = the pushed value (the left operand); ACC stays.
POPARG: pla
        sta PTR3
        pla
        sta PTR3+1
        pla
        sta ARG
        pla
        sta ARG+1
        lda PTR3+1
        pha
        lda PTR3
        pha
        rts

NEGATE: sec
        lda #0
        sbc ACC
        sta ACC
        lda #0
        sbc ACC+1
        sta ACC+1
        rts

; ACC = ARG * ACC (the low 16 bits).
MULTIPLY:
        lda #0
        sta PTR2
        sta PTR2+1
        ldx #16
@bit:   lsr ACC+1
        ror ACC
        bcc :+
        clc
        lda PTR2
        adc ARG
        sta PTR2
        lda PTR2+1
        adc ARG+1
        sta PTR2+1
:       asl ARG
        rol ARG+1
        dex
        bne @bit
        lda PTR2
        sta ACC
        lda PTR2+1
        sta ACC+1
        rts

; ACC = ARG / ACC, rounded toward zero; PTR2 = the remainder of the magnitudes.
DIVIDE: lda ACC
        ora ACC+1
        bne :+
        ldx #E_DIV0
        jmp ERROR
:       lda ARG+1
        eor ACC+1
        sta SIGN
        lda ACC+1
        bpl :+
        jsr NEGATE
:       jsr SWAP
        lda ACC+1
        bpl :+
        jsr NEGATE
:       jsr SWAP                ; ARG = |dividend|, ACC = |divisor|
        lda #0
        sta PTR2
        sta PTR2+1
        ldx #16
@bit:   asl ARG
        rol ARG+1
        rol PTR2
        rol PTR2+1
        sec
        lda PTR2
        sbc ACC
        tay
        lda PTR2+1
        sbc ACC+1
        bcc :+
        sta PTR2+1
        sty PTR2
        inc ARG
:       dex
        bne @bit
        lda ARG
        sta ACC
        lda ARG+1
        sta ACC+1
        lda SIGN
        bpl :+
        jmp NEGATE
:       rts

; ACC = the unsigned number at TXTPTR (at most 65535).
GETNUM: lda #0
        sta ACC
        sta ACC+1
@digit: ldy #0
        lda (TXTPTR),y
        jsr ISDIGIT
        bcs @done
        and #$0F
        pha
        lda ACC                 ; ACC * 10 = ACC * 8 + ACC * 2
        sta ARG
        lda ACC+1
        sta ARG+1
        asl ACC
        rol ACC+1
        bcs @over
        asl ACC
        rol ACC+1
        bcs @over
        clc
        lda ACC
        adc ARG
        sta ACC
        lda ACC+1
        adc ARG+1
        sta ACC+1
        bcs @over
        asl ACC
        rol ACC+1
        bcs @over
        pla
        clc
        adc ACC
        sta ACC
        bcc :+
        inc ACC+1
        beq @over2
:       jsr ADVANCE
        jmp @digit
@done:  rts
@over:  pla
@over2: ldx #E_OVER
        jmp ERROR

; DIM letter(n) [, letter(n) ...]: arrays of the elements 0 to n, after the program.
DODIM:  jsr GETVAR
        bcc :+
        jmp SYNERR
:       pha
        jsr FINDARR
        bcs :+
        ldx #E_REDIM
        jmp ERROR
:       lda #'('
        jsr EXPECT
        jsr EXPR
        lda #')'
        jsr EXPECT
        lda ACC+1
        bpl :+
        ldx #E_RANGE
        jmp ERROR
:       jsr ARRSIZE             ; PTR3 = the new end of the arrays
        clc
        lda ARREND
        adc TMP
        sta PTR3
        lda ARREND+1
        adc TMP+1
        sta PTR3+1
        bcs @full
        lda MEMTOP
        cmp PTR3
        lda MEMTOP+1
        sbc PTR3+1
        bcs @room
@full:  ldx #E_MEMORY
        jmp ERROR
@room:  ldy #0                  ; the block: letter, n, then the elements at 0
        pla
        sta (ARREND),y
        iny
        lda ACC
        sta (ARREND),y
        iny
        lda ACC+1
        sta (ARREND),y
        clc
        lda ARREND
        adc #3
        sta PTR2
        lda ARREND+1
        adc #0
        sta PTR2+1
        ldy #0
@zero:  lda PTR2
        cmp PTR3
        bne :+
        lda PTR2+1
        cmp PTR3+1
        beq @made
:       tya
        sta (PTR2),y
        inc PTR2
        bne @zero
        inc PTR2+1
        bne @zero
@made:  lda PTR3
        sta ARREND
        lda PTR3+1
        sta ARREND+1
        jsr SKIPSP
        cmp #','
        bne :+
        jsr ADVANCE
        jmp DODIM
:       rts

; TMP = the bytes of an array block with the elements 0 to ACC: 5 + 2 * ACC.
ARRSIZE:
        lda ACC
        asl a
        sta TMP
        lda ACC+1
        rol a
        sta TMP+1
        clc
        lda TMP
        adc #5
        sta TMP
        bcc :+
        inc TMP+1
:       rts

; PTR2 = the block of the array of variable offset A; carry set when there is none.
FINDARR:
        sta TMPV
        clc
        lda PROGEND
        adc #1
        sta PTR2
        lda PROGEND+1
        adc #0
        sta PTR2+1
@block: lda PTR2
        cmp ARREND
        lda PTR2+1
        sbc ARREND+1
        bcs @none
        ldy #0
        lda (PTR2),y
        cmp TMPV
        beq @found
        ldy #1
        lda (PTR2),y
        sta ACC
        iny
        lda (PTR2),y
        sta ACC+1
        jsr ARRSIZE
        clc
        lda PTR2
        adc TMP
        sta PTR2
        lda PTR2+1
        adc TMP+1
        sta PTR2+1
        jmp @block
@found: clc
        rts
@none:  sec
        rts

; A variable or array element at TXTPTR: carry clear and REF = its two bytes.
GETREF: jsr GETVAR
        bcc :+
        rts
:       sta TMPV
        jsr SKIPSP
        cmp #'('
        beq @element
        lda TMPV
        clc
        adc #VARS
        sta REF
        lda #0
        sta REF+1
        clc
        rts
@element:
        jsr ADVANCE
        lda TMPV
        pha
        jsr EXPR
        lda #')'
        jsr EXPECT
        lda ACC                 ; FINDARR takes ACC for the sizes it walks
        pha
        lda ACC+1
        pha
        tsx
        lda $0103,x             ; the variable offset, under the index
        jsr FINDARR
        pla
        sta ACC+1
        pla
        sta ACC
        pla
        bcc :+
        ldx #E_UNDIM
        jmp ERROR
:       ldy #2                  ; 0 <= index <= n, compared without sign
        lda ACC+1
        cmp (PTR2),y
        bcc @inside
        bne @outside
        dey
        lda (PTR2),y
        cmp ACC
        bcs @inside
@outside:
        ldx #E_RANGE
        jmp ERROR
@inside:
        asl ACC                 ; REF = the block + 3 + 2 * index
        rol ACC+1
        clc
        lda PTR2
        adc #3
        sta REF
        lda PTR2+1
        adc #0
        sta REF+1
        clc
        lda REF
        adc ACC
        sta REF
        lda REF+1
        adc ACC+1
        sta REF+1
        clc
        rts

; The variable at TXTPTR: carry clear, A = its offset in VARS, TXTPTR past it.
GETVAR: jsr SKIPSP
        cmp #'A'
        bcc @no
        cmp #'Z'+1
        bcs @no
        jsr ADVANCE
        sec
        sbc #'A'
        asl a
        clc
        rts
@no:    sec
        rts

; --- text helpers ------------------------------------------------------------------

; A = the character at TXTPTR after blanks; Z set at the end of the line.
SKIPSP: ldy #0
@loop:  lda (TXTPTR),y
        cmp #' '
        bne @done
        jsr ADVANCE
        jmp @loop
@done:  cmp #0
        rts

; Moves TXTPTR on by one. Preserves A.
ADVANCE:
        inc TXTPTR
        bne :+
        inc TXTPTR+1
:       rts

; Carry clear when A is a digit.
ISDIGIT:
        cmp #'0'
        bcc @no
        cmp #'9'+1
        rts
@no:    sec
        rts

; Skips blanks, then requires character (or token) A.
EXPECT: sta TMP+1
        jsr SKIPSP
        cmp TMP+1
        beq :+
        jmp SYNERR
:       jmp ADVANCE

; --- output ------------------------------------------------------------------------

OUT:    jsr OUTCH
        cmp #CR
        bne :+
        pha
        lda #0
        sta PRTCOL
        pla
        rts
:       cmp #' '
        bcc :+
        inc PRTCOL
:       rts

CRLF:   lda #CR
        jsr OUT
        lda #LF
        jmp OUT

PRSTR:  stx PTR3
        sty PTR3+1
        ldy #0
:       lda (PTR3),y
        beq :+
        jsr OUT
        iny
        bne :-
:       rts

; Prints ACC as a signed number: a blank or "-", then the digits.
PRNUM:  lda ACC+1
        bpl :+
        lda #'-'
        jsr OUT
        jsr NEGATE
        jmp PRUNS
:       lda #' '
        jsr OUT
; Prints ACC as an unsigned number.
PRUNS:  ldx #8
        lda #0
        sta COUNT               ; a digit has been printed
@power: lda #'0'
        sta TMP
@sub:   sec
        lda ACC
        sbc POWERS,x
        tay
        lda ACC+1
        sbc POWERS+1,x
        bcc @digit
        sta ACC+1
        sty ACC
        inc TMP
        bne @sub
@digit: lda TMP
        cmp #'0'
        bne @print
        ldy COUNT
        bne @print
        cpx #0
        bne @skip
@print: jsr OUT
        inc COUNT
@skip:  dex
        dex
        bpl @power
        rts

POWERS: .word 1, 10, 100, 1000, 10000

; --- errors ------------------------------------------------------------------------

SYNERR: ldx #E_SYNTAX
; Prints "?message ERROR [IN line]" and returns to the command loop.
ERROR:  lda PRTCOL
        beq :+
        txa
        pha
        jsr CRLF
        pla
        tax
:       lda #'?'
        jsr OUT
        lda ERRTAB+1,x
        tay
        lda ERRTAB,x
        tax
        jsr PRSTR
        ldx #<ERRMSG
        ldy #>ERRMSG
        jsr PRSTR
        jsr INLINE
        jsr CRLF
        jmp READY

BREAK:  lda PRTCOL
        beq :+
        jsr CRLF
:       ldx #<BRKMSG
        ldy #>BRKMSG
        jsr PRSTR
        jsr INLINE
        jsr CRLF
        jmp READY

; " IN line" while a program runs.
INLINE: lda CURLIN+1
        beq @done
        ldx #<INMSG
        ldy #>INMSG
        jsr PRSTR
        ldy #1
        lda (CURLIN),y
        sta ACC
        iny
        lda (CURLIN),y
        sta ACC+1
        jmp PRUNS
@done:  rts

.segment "RODATA"

BANNER: .byte $0C, "QUARZEL BASIC 1.0", CR, LF, 0
FREE:   .byte " BYTES FREE", CR, LF, 0
OKMSG:  .byte "OK", CR, LF, 0
REDO:   .byte "?REDO FROM START", CR, LF, 0
ERRMSG: .byte " ERROR", 0
BRKMSG: .byte "BREAK", 0
INMSG:  .byte " IN ", 0

ERRTAB: .word M_SYNTAX, M_LINE, M_RETURN, M_NEXT, M_DIV0, M_OVER, M_MEMORY, M_GOSUB, M_FOR
        .word M_RANGE, M_UNDIM, M_REDIM
M_SYNTAX: .byte "SYNTAX", 0
M_LINE:   .byte "UNDEFINED LINE", 0
M_RETURN: .byte "RETURN WITHOUT GOSUB", 0
M_NEXT:   .byte "NEXT WITHOUT FOR", 0
M_DIV0:   .byte "DIVISION BY ZERO", 0
M_OVER:   .byte "OVERFLOW", 0
M_MEMORY: .byte "OUT OF MEMORY", 0
M_GOSUB:  .byte "TOO MANY GOSUBS", 0
M_FOR:    .byte "TOO MANY FORS", 0
M_RANGE:  .byte "SUBSCRIPT OUT OF RANGE", 0
M_UNDIM:  .byte "UNDIMENSIONED ARRAY", 0
M_REDIM:  .byte "REDIMENSIONED ARRAY", 0

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
        KW "IF"
        KW "GOTO"
        KW "GOSUB"
        KW "RETURN"
        KW "REM"
        KW "PRINT"
        KW "INPUT"
        KW "LET"
        KW "STOP"
        KW "LIST"
        KW "RUN"
        KW "NEW"
        KW "CLEAR"
        KW "POKE"
        KW "LOAD"
        KW "SAVE"
        KW "DIM"
        KW "THEN"
        KW "TO"
        KW "STEP"
        KW "PEEK"
        KW "USR"
        KW "RND"
        KW "ABS"
        KW "AND"
        KW "OR"
        KW "NOT"
        .byte 0
