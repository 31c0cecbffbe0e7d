// Resource identifiers of ombrix.exe.
#pragma once

#define IDI_MAINICON 1
#define IDI_ENCRYPTION_ON 101
#define IDI_ENCRYPTION_OFF 102
#define IDR_ABOUT_PICTURE 201
#define IDB_OK_GLYPH 202
