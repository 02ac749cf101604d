#pragma once
// Resource numbers of Gorsemere.dll; other programs (regsvr32, the shell)
// and the tests rely on them.
#define IDS_PROJNAME 100
#define IDR_GORSEMERE 101
#define IDB_MENU_BITMAP 201
