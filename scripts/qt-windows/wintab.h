/* The tablet (wintab) interface as Qt's Windows platform plugin includes it. Debian's qtbase
 * source comes without these headers; scripts/build-qt-windows.sh puts Wine's LGPL wintab.h
 * (package libwine-dev) beside this file as wine-wintab.h. Outside Wine's own tree that header
 * needs two of Wine's build macros, and the plugin expects the calling-convention macro API. */
#ifndef QUILLRELAY_WINTAB_H
#define QUILLRELAY_WINTAB_H

#include <windows.h>

#ifndef DECL_WINELIB_TYPE_AW
#  ifdef UNICODE
#    define DECL_WINELIB_TYPE_AW(type) typedef type##W type;
#    define WINELIB_NAME_AW(name) name##W
#  else
#    define DECL_WINELIB_TYPE_AW(type) typedef type##A type;
#    define WINELIB_NAME_AW(name) name##A
#  endif
#endif
#ifndef API
#  define API WINAPI
#endif

#include "wine-wintab.h"

#endif
