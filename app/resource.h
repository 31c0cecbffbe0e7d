// Resource identifiers of ombrix.exe.
#pragma once

#define IDI_MAINICON 1
#define IDI_ENCRYPTION_ON 101
#define IDI_ENCRYPTION_OFF 102

// The main window's skin (a 24-bit bitmap, 300 x 618) and its stored shape: "Mask2" bytes
// made from the skin's opaque pixels at build time (raw data).
#define IDB_SKIN 110
#define IDR_MASK2 111
// The about box's picture (JPEG, raw data) and its OK button's glyph: two 16 x 16 cells
// side by side, up and disabled, transparent where they have their bottom-left colour.
#define IDR_ABOUT_PICTURE 112
#define IDB_OK_GLYPH 113
