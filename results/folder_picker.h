#pragma once
// The folder picker: the shell's folder dialog opened on a starting folder,
// with a taller tree, our caption, and the chosen item's full path shown in
// its edit box.
#include <windows.h>

#include <string>

// String-table caption of the dialog.
constexpr UINT IDS_FOLDER_PICKER_CAPTION = 21;

// True when the user chose a folder; `path` then receives it when the item
// has a file-system path (it is left alone otherwise).
bool BrowseForFolder(std::wstring* path, const std::wstring& startFolder, const std::wstring& title);

// The dialog's callback (lpData: the starting folder as a wide string).
int CALLBACK BrowseForFolderCallback(HWND dialog, UINT msg, LPARAM lParam, LPARAM lpData);

// The edit box of the open picker, or null when none is open.
HWND BrowseForFolderEditBox();
