; The speed meter's test program, loaded at $0400. Each routine runs forever; the meter
; starts them one after the other by setting the program counter to an entry of the table.
; Memory used: $0300-$03FF, $F0-$F1, the video memory and the graphics memory.
; Copyright (c) 2026 the Quarzel developers. MIT licence (see LICENSE): free to use, change and
; ship, in other emulators too.

PTR     = $F0           ; graphics memory pointer
BUFFER  = $0300
PATTERN_PAGES = $20     ; $8000-$9FFF

.segment "CODE"
        .org $0400
        jmp memory
        jmp screen
        jmp bitmap
        jmp opcodes

; Reads of a device page and read-write-read-write of a RAM page.
memory: ldx #0
@loop:  lda $FF00
        lda BUFFER,x
        sta BUFFER,x
        lda BUFFER,x
        sta BUFFER,x
        inx
        jmp @loop
        .assert memory = $040C, error, "memory routine moved"

; The banner on four rows, then every screen page copied onto itself $E1 cells further on.
screen: ldx #0
@text:  lda banner,x
        beq @copy
        sta $D040,x
        sta $D140,x
        sta $D240,x
        sta $D340,x
        inx
        bne @text
@copy:  ldy #0
@cell:  tya
        clc
        adc #$E1
        tax
        lda $D000,y
        sta $D000,x
        lda $D100,y
        sta $D100,x
        lda $D200,y
        sta $D200,x
        lda $D300,y
        sta $D300,x
        iny
        bne @cell
        jmp @copy
        .assert screen = $0421, error, "screen routine moved"
        .res $045E - *, $EA

; The graphics memory filled with boxes, then rewritten page by page from the top, each byte
; from the top of its page down combined with itself rotated left through carry.
bitmap: lda #0
        sta PTR
        lda #$80
        sta PTR+1
@page:  ldy #0
@fill:  lda pattern,y
        sta (PTR),y
        iny
        bne @fill
        inc PTR+1
        lda PTR+1
        cmp #$80 + PATTERN_PAGES
        bne @page
@again: lda #$9F
        sta PTR+1
@down:  ldy #0
@byte:  dey
        lda (PTR),y
        rol a
        eor (PTR),y
        sta (PTR),y
        tya
        bne @byte
        dec PTR+1
        lda PTR+1
        cmp #$7F
        bne @down
        jmp @again
        .assert bitmap = $045E, error, "bitmap routine moved"
        .res $04A5 - *, $EA

; 36 immediate, implied, zero-page, branch and stack instructions.
opcodes:
        ldy #0
@run:   adc #$01
        sbc #$01
        and #$FF
        ora #$00
        eor #$55
        cmp #$10
        cpx #$20
        cpy #$30
        asl a
        lsr a
        rol a
        ror a
        inx
        dex
        iny
        dey
        lda #$5A
        bne :+
:       beq :+
:       bcc :+
:       bcs :+
:       bpl :+
:       bit PTR
        clc
        sec
        tax
        txa
        pha
        pla
        php
        plp
        pha
        pla
        php
        plp
        nop
        jmp @run
        .assert opcodes = $04A5, error, "opcode routine moved"
        .assert * = $04DD, error, "the banner moved"

; Screen codes: blanks and four graphics glyphs, ended by the pattern's first byte.
banner: .repeat 8
        .byte $20, $A1, $20, $A2, $20, $A3, $20, $A4
        .endrepeat

; Boxes 16 pixels wide and 8 high, a graphics line being 32 bytes.
pattern:
        .res 32, $00
        .repeat 6
        .repeat 16
        .byte $80, $01
        .endrepeat
        .endrepeat
        .res 32, $FF
        .assert pattern = $051D, error, "the pattern moved"
