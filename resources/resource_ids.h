/* Resource ids of the search program. Read by the resource compiler and by
   C++ alike: plain #defines only. */
#ifndef LUMSEK_RESOURCE_IDS_H
#define LUMSEK_RESOURCE_IDS_H

/* XML tables of the skinned UI. */
#define IDR_XML_SKIN_TABLE    60000
#define IDR_XML_STYLE_TABLE   60001
#define IDR_XML_STRING_TABLE  60002

/* Layouts (XML resources). */
#define IDR_LAYOUT_DOCK        116   /* the docked search bar */
#define IDR_LAYOUT_RESULT      117   /* the result panel under the bar */
#define IDR_LAYOUT_MINIDOCK    119   /* the strip at the screen top while the bar hides */
#define IDR_LAYOUT_DRAG_BOX    122   /* outline of the bar while it is dragged */
#define IDR_LAYOUT_DRAG_LINE   123   /* line of a panel edge while it is dragged */
#define IDR_LAYOUT_WEBVIEW     120   /* the web view inside the web-search panel */
#define IDR_LAYOUT_WEBPANEL    121   /* the web-search panel */
#define IDR_LAYOUT_RECOVER     124   /* the recovery dialog */
#define IDR_LAYOUT_SCOPE       125   /* the scope popup */
#define IDR_LAYOUT_CHECK       126   /* the confirmation dialog */
#define IDR_LAYOUT_MORESEARCH  115   /* the advanced-search popup of the taller bar */
#define IDR_LAYOUT_DOCK2       118   /* the taller bar */

/* Menus and their commands. */
#define IDR_MENU_DOCK          107   /* the bar's menu button */
#define IDR_MENU_TRAY          115   /* the tray icon's menu */
#define ID_DOCK_REGEX          40008
#define ID_DOCK_CLOSE_TO_TRAY  40010
#define ID_TRAY_QUIT           40015
#define ID_TRAY_SETTINGS       40016

/* HTML pages of the embedded browser. */
#define IDR_HTML_LOADING       110
#define IDR_HTML_ERROR         111

/* The program icon (also the tray icon). */
#define IDI_LUMSEK             670

#endif
