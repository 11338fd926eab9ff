/* The firmware images as read-only data of the Linux program, found in the build's image
   folder (an include directory of the assembler). */
    .section .rodata
    .balign 16
    .global fwupdate_image_505_start, fwupdate_image_505_end
fwupdate_image_505_start:
    .incbin "image505.bin"
fwupdate_image_505_end:
    .balign 16
    .global fwupdate_image_506_start, fwupdate_image_506_end
fwupdate_image_506_start:
    .incbin "image506.bin"
fwupdate_image_506_end:
    .balign 16
    .global fwupdate_image_507_start, fwupdate_image_507_end
fwupdate_image_507_start:
    .incbin "image507.bin"
fwupdate_image_507_end:
    .section .note.GNU-stack, "", @progbits
