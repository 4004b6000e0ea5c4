; REPORT.COM: a small DOS program that prints a sales report the way DOS programs print into a
; file: it creates RAPORT.PRN in the current folder, writes the report in parts with pauses of
; about a second between them (the file stays open meanwhile), closes it, and then creates
; ZAMKNIE.TXT to say that the report file is closed.
;
; The report: a landscape job marker (ESC X 0) in its first bytes, a bold title, Polish text in
; code page 852, a table drawn with the code page's box characters, a condensed (17 cpi) line.
;
;     nasm -f bin report.asm -o REPORT.COM

        org 100h

ESC     equ 1Bh
CR      equ 0Dh
LF      equ 0Ah
FF      equ 0Ch
COND    equ 0Fh                 ; SI: condensed, 17 characters per inch
DC2     equ 12h                 ; back to 10 characters per inch

; Polish letters in code page 852
a_      equ 0A5h                ; ą
c_      equ 086h                ; ć
e_      equ 0A9h                ; ę
l_      equ 088h                ; ł
n_      equ 0E4h                ; ń
o_      equ 0A2h                ; ó
s_      equ 098h                ; ś
x_      equ 0ABh                ; ź
z_      equ 0BEh                ; ż
Z_      equ 0BDh                ; Ż
L_      equ 09Dh                ; Ł
S_      equ 097h                ; Ś
; single-line box drawing in code page 852 (K_ for kreska)
K_TL    equ 0DAh                ; ┌
K_TR    equ 0BFh                ; ┐
K_BL    equ 0C0h                ; └
K_BR    equ 0D9h                ; ┘
K_H     equ 0C4h                ; ─
K_V     equ 0B3h                ; │
K_TT    equ 0C2h                ; ┬
K_BT    equ 0C1h                ; ┴
K_LT    equ 0C3h                ; ├
K_RT    equ 0B4h                ; ┤
K_X     equ 0C5h                ; ┼

start:
        mov ah, 3Ch             ; create RAPORT.PRN
        xor cx, cx
        mov dx, report_name
        int 21h
        jc fail
        mov [handle], ax

        mov si, parts           ; each part: its length, then its bytes; length 0 ends
.next:  lodsw
        test ax, ax
        jz .done
        mov cx, ax
        mov dx, si
        add si, ax
        mov ah, 40h             ; write
        mov bx, [handle]
        int 21h
        jc fail
        call pause
        jmp .next

.done:  mov ah, 3Eh             ; close
        mov bx, [handle]
        int 21h
        jc fail

        mov ah, 3Ch             ; ZAMKNIE.TXT: the report is closed
        xor cx, cx
        mov dx, closed_name
        int 21h
        jc fail
        mov bx, ax
        mov ah, 3Eh
        int 21h

        mov ax, 4C00h
        int 21h

fail:   mov ah, 09h
        mov dx, fail_text
        int 21h
        mov ax, 4C01h
        int 21h

; Waits 18 ticks of the BIOS clock (about a second), sleeping between the ticks.
pause:  push si
        mov ah, 00h
        int 1Ah
        mov si, dx
.wait:  sti
        hlt
        mov ah, 00h
        int 1Ah
        mov ax, dx
        sub ax, si
        cmp ax, 18
        jb .wait
        pop si
        ret

report_name db 'RAPORT.PRN', 0
closed_name db 'ZAMKNIE.TXT', 0
fail_text   db 'REPORT: nie mozna zapisac pliku RAPORT.PRN', CR, LF, '$'
handle      dw 0

%macro part 1-*
        dw %%end - %%begin
%%begin:
        db %{1:-1}
%%end:
%endmacro

parts:
        part ESC, 'X0', ESC, 'E', 'RAPORT SPRZEDA', Z_, 'Y ', ESC, 'F', CR, LF, CR, LF
        part 'Zesp', o_, l_, ' handlowy: Za', z_, o_, l_, c_, ' g', e_, s_, 'l', a_, ' ja', x_, n_, CR, LF, CR, LF
        part K_TL, K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H, K_TT, K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H, K_TR, CR, LF, \
             K_V, ' Towar      ', K_V, '      Cena', K_V, CR, LF, \
             K_LT, K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H, K_X, K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H, K_RT, CR, LF
        part K_V, ' Jab', l_, 'ka     ', K_V, '  12,50 z', l_, K_V, CR, LF, \
             K_V, ' ', S_, 'liwki     ', K_V, '   7,99 z', l_, K_V, CR, LF, \
             K_BL, K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H, K_BT, K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H,K_H, K_BR, CR, LF, CR, LF
        part COND, 'Drobny druk: ceny zawieraj', a_, ' podatek VAT', DC2, CR, LF
        part ESC, 'E', 'KONIEC RAPORTU', ESC, 'F', CR, LF, FF
        dw 0
