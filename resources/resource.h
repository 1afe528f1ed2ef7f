// Resource and control ids of the main dialog, shared by the resource script and the shell.
#pragma once

#define IDD_MAIN 101

// The program icon (resources/icons/hashcalc.ico on Windows, the embedded PNGs elsewhere).
#define IDI_HASHCALC 1

#define IDC_INPUT 111
#define IDC_MD5 222
#define IDC_ABOUT 333
#define IDC_MD2 444
#define IDC_MD4 555
#define IDC_SHA0 666
#define IDC_SHA1 777
#define IDC_SHA256 888
#define IDC_RIPEMD128 999
#define IDC_RIPEMD160 1111
#define IDC_RIPEMD256 1211
#define IDC_CRC16 1311
#define IDC_CRC32 1411
#define IDC_CRC32B 1511

// Labels and frames the program never addresses.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
