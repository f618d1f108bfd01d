#pragma once
// Resource IDs shared by quillbay.rc and the code.

#define IDI_QUILLBAY 1
