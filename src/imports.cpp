// The stub's import table (imports.h): the import descriptors, the address
// table with a symbol __imp_NAME per slot, as the system's import libraries
// would give them, and the names; scripts/finish-pe-layout.py lays the
// names out anew. Code outside the layers that reserve EBX calls the slots
// directly (platform.h declares those functions dllimport), or memset and
// memcpy, which the compiler also calls by itself, through a jump of its own
// here, which the link keeps only when something calls it.
#include "platform.h"

#define DESCRIPTOR(dll, IMPORTS) "\t.long 0, 0, 0\n\t.rva name_" #dll ", slots_" #dll "\n"
#define SLOT(name, decoration) \
  "\t.globl __imp__" #name decoration "\n__imp__" #name decoration ":\n\t.rva name_" #name "\n"
#define RENAMED_SLOT(name, exported) SLOT(name, "")
#define DLL_SLOTS(dll, IMPORTS) "slots_" #dll ":\n" IMPORTS(SLOT, RENAMED_SLOT) "\t.long 0\n"
#define RENAMED_NAME(name, exported) "\t.p2align 1\nname_" #name ":\n\t.short 0\n\t.asciz \"" #exported "\"\n"
#define NAME(name, decoration) RENAMED_NAME(name, name)
#define DLL_NAMES(dll, IMPORTS) IMPORTS(NAME, RENAMED_NAME) "name_" #dll ":\n\t.asciz \"" #dll ".dll\"\n"
#define JUMP(name)                                                                          \
  ".section .text$jump_" #name ",\"x\"\n\t.globl _" #name "\n_" #name ":\n\tjmp *__imp__" #name \
  "\n"

asm(".section .idata$2\n" STUB_DLLS(DESCRIPTOR)
    ".section .idata$5\n\t.globl _importTable\n_importTable:\n" STUB_DLLS(DLL_SLOTS)
    ".section .idata$6\n" STUB_DLLS(DLL_NAMES)
    JUMP(memcpy) JUMP(memset)
    ".text\n");
