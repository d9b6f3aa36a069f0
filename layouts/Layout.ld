/* Section layout of the layout library: code, all tables in one writable
   data section as the system's own layout libraries keep them, exports,
   resources and relocations; no import directory, no runtime sections. */
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + (__section_alignment__ < 0x1000 ? . : __section_alignment__) :
  {
    *(.text) *(.text$*) *(.text.*)
  }
  .data BLOCK(__section_alignment__) :
  {
    *(.data) *(.data$*) *(.data.*)
    *(.rdata) *(.rdata$*) *(.rdata.*)
    *(.bss) *(.bss.*) *(COMMON)
  }
  .pdata BLOCK(__section_alignment__) : { *(.pdata) *(.pdata$*) }
  .xdata BLOCK(__section_alignment__) : { *(.xdata) *(.xdata$*) }
  .edata BLOCK(__section_alignment__) : { *(.edata) }
  .rsrc BLOCK(__section_alignment__) : { *(.rsrc) *(.rsrc$*) }
  .reloc BLOCK(__section_alignment__) : { *(.reloc) }
  /DISCARD/ :
  {
    *(.idata*) *(.CRT*) *(.tls*) *(.comment) *(.note*) *(.debug*)
    *(.eh_frame*) *(.drectve) *(.gnu*)
  }
}
