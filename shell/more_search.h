#pragma once
// The advanced-search popup of the taller bar: file type, content, a date
// range, a size class and a search location, as standard Windows controls
// placed by the layout. On demand it turns their state into the result
// panel's filter fields.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "results/system_image_list.h"
#include "shell/search_edit.h"
#include "ui/bkdlgimpl.h"

class CMoreSearch : public CBkDialogImpl<CMoreSearch> {
public:
    enum : UINT {
        ID_TYPE_BOX = 2000,
        ID_CONTENT_EDIT = 2001,
        ID_DATE_FROM = 2002,
        ID_DATE_TO = 2003,
        ID_SIZE_BOX = 2004,
        ID_LOCATION_BOX = 2005,
        ID_CONTENT_HINT = 2101,
    };

    CMoreSearch();
    ~CMoreSearch() override;

    // ORs the chosen filter bits into `mask` and fills the values of the bits
    // it sets; values of other bits are left alone.
    void GetFilters(DWORD* mask, std::wstring* pathPrefix, LONGLONG* sizeMin, LONGLONG* sizeMax, FILETIME* dateFrom,
                    FILETIME* dateTo) const;
    void DestroyControls();

    // The folder picker; answers whether a folder was chosen and puts its
    // file-system path (empty when it has none). Tests replace it.
    std::function<bool(std::wstring* folder)> PickFolder;

    HWND Control(UINT id) const;
    // The location entries after the fixed ones: folders the user picked.
    size_t LocationCount() const { return locations_.size(); }
    void OnLocationChanged();

    WINDOW_MAP_BEGIN(CMoreSearch)
        ON_WINDOW_NOTIFY(IDC_BKVIEW, OnBkNotify)
        WINDOW_MAP_CHAIN(CBkDialogImpl<CMoreSearch>)
        ON_WINDOW_MESSAGE(WM_INITDIALOG, OnInitDialog)
        ON_WINDOW_MESSAGE(WM_LAYERED_REFRESH, OnCreateLocationBox)
        ON_WINDOW_COMMAND_CODE(ID_LOCATION_BOX, CBN_SELCHANGE, OnLocationSelChange)
    WINDOW_MAP_END()

private:
    struct Location {
        int item;
        std::wstring path;  // empty: the computer item and the picker item
    };

    LRESULT OnBkNotify(int idCtrl, NMHDR* header, BOOL& handled);
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnCreateLocationBox(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& handled);
    LRESULT OnLocationSelChange(WORD code, WORD id, HWND control, BOOL& handled);

    HWND CreateCombo(UINT id, const std::vector<UINT>& stringIds);
    HWND CreatePicker(UINT id, const SYSTEMTIME& time);
    // Appends a location; an overlay below 0 sets none.
    int AddLocation(const std::wstring& text, int image, int indent, const std::wstring& path, int overlay = -1);
    void AddShellLocation(int csidl);
    int FindLocation(const std::wstring& path) const;
    void SelectLocation(int item);

    CSystemImageList imageList_;
    CSearchEdit content_;
    HWND type_ = nullptr;
    HWND size_ = nullptr;
    HWND dateFrom_ = nullptr;
    HWND dateTo_ = nullptr;
    HWND location_ = nullptr;
    SYSTEMTIME defaultEnd_ = {};
    std::vector<Location> locations_;
    int computerItem_ = -1;
    int pickerItem_ = -1;
    int selected_ = -1;  // the item that was selected before the picker item
};
