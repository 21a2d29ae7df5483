#pragma once
// List view in report style, tabbed pages and a page container without tabs.
#include <string>
#include <vector>

#include "platform/ui/Controls.h"

struct TListItem {
    std::string Caption;
    std::vector<std::string> SubItems;
    void* Data = nullptr;  // a reference kept with the row
};

class TListView : public TWinControl {
public:
    TListView(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::ListView) {}
    struct TColumn {
        std::string Caption;
        int Width = 0;        // 0 with AutoSize: sized to the list
        bool AutoSize = true;
    };
    const std::vector<TColumn>& Columns() const { return columns_; }
    void AddColumn(const std::string& caption, bool autoSize = true, int width = 0);
    bool ReadOnly = true;
    bool HideSelection = true;   // false: the selection stays visible without focus
    bool ColumnClick = true;     // false: headers do not react to clicks

    int Count() const { return static_cast<int>(items_.size()); }
    const TListItem& Item(int i) const;
    TListItem& Add();            // appends an empty row
    void SetItem(int i, const TListItem& item);
    void Clear();
    void BeginUpdate();
    void EndUpdate();
    int UpdateDepth() const { return updateDepth_; }

    int Selected() const { return selected_; }  // -1: none
    void SetSelected(int i);  // runs OnSelectItem for the row that lost and the row that got the selection
    std::function<void(int index, bool selected)> OnSelectItem;
    void UserSelect(int i);

private:
    void RowsChanged();
    std::vector<TColumn> columns_;
    std::vector<TListItem> items_;
    int selected_ = -1;
    int updateDepth_ = 0;
    bool pending_ = false;
};

class TTabSheet;

class TPageControl : public TWinControl {
public:
    TPageControl(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::PageControl) {}
    std::vector<TTabSheet*> Pages() const;
    TTabSheet* ActivePage() const { return active_; }
    void SetActivePage(TTabSheet* page);  // by code: runs no handler
    TEvent OnChange;                // after the user switched tabs
    void UserSelectPage(TTabSheet* page);

private:
    TTabSheet* active_ = nullptr;
};

class TTabSheet : public TWinControl {
public:
    TTabSheet(TComponent* owner, TPageControl* parent) : TWinControl(owner, parent, TControlKind::TabSheet) {}
    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool v);
    TEvent OnShow;

private:
    bool tabVisible_ = true;
};

class TNotebookPage;

// Pages shown one at a time, without tabs.
class TNotebook : public TWinControl {
public:
    TNotebook(TComponent* owner, TWinControl* parent) : TWinControl(owner, parent, TControlKind::Notebook) {}
    std::vector<TNotebookPage*> Pages() const;
    int PageIndex() const { return pageIndex_; }
    void SetPageIndex(int i);  // a change runs OnPageChanged
    TEvent OnPageChanged;

private:
    int pageIndex_ = -1;
};

class TNotebookPage : public TWinControl {
public:
    TNotebookPage(TComponent* owner, TNotebook* parent) : TWinControl(owner, parent, TControlKind::NotebookPage) {}
};
