#include "platform/ui/ComCtrls.h"

#include "base/Exceptions.h"

void TListView::AddColumn(const std::string& caption, bool autoSize, int width) {
    columns_.push_back({caption, width, autoSize});
    Changed(TProp::Columns);
}

const TListItem& TListView::Item(int i) const {
    CheckListIndex(i, Count());
    return items_[static_cast<size_t>(i)];
}

TListItem& TListView::Add() {
    items_.emplace_back();
    RowsChanged();
    return items_.back();
}

void TListView::SetItem(int i, const TListItem& item) {
    CheckListIndex(i, Count());
    items_[static_cast<size_t>(i)] = item;
    RowsChanged();
}

void TListView::Clear() {
    if (selected_ >= 0) SetSelected(-1);
    items_.clear();
    RowsChanged();
}

void TListView::BeginUpdate() { ++updateDepth_; }

void TListView::EndUpdate() {
    if (updateDepth_ > 0 && --updateDepth_ == 0 && pending_) {
        pending_ = false;
        Changed(TProp::Items);
    }
}

void TListView::RowsChanged() {
    if (updateDepth_ > 0) pending_ = true;
    else Changed(TProp::Items);
}

void TListView::SetSelected(int i) {
    if (i < -1 || i >= Count()) i = -1;
    if (i == selected_) return;
    int old = selected_;
    selected_ = i;
    Changed(TProp::Selection);
    if (OnSelectItem) {
        if (old >= 0) OnSelectItem(old, false);
        if (i >= 0) OnSelectItem(i, true);
    }
}

void TListView::UserSelect(int i) {
    if (Reachable()) SetSelected(i);
}

std::vector<TTabSheet*> TPageControl::Pages() const {
    std::vector<TTabSheet*> r;
    for (TControl* c : Controls())
        if (c->Kind() == TControlKind::TabSheet) r.push_back(static_cast<TTabSheet*>(c));
    return r;
}

void TPageControl::SetActivePage(TTabSheet* page) {
    if (active_ == page) return;
    active_ = page;
    Changed(TProp::Page);
    if (page && page->OnShow) page->OnShow();
}

void TPageControl::UserSelectPage(TTabSheet* page) {
    if (!Reachable() || !page || !page->TabVisible() || page == active_) return;
    SetActivePage(page);
    if (OnChange) OnChange();
}

void TTabSheet::SetTabVisible(bool v) {
    if (tabVisible_ == v) return;
    tabVisible_ = v;
    Changed(TProp::Visible);
    if (Parent()) {
        auto* pc = static_cast<TPageControl*>(Parent());
        if (!v && pc->ActivePage() == this) {
            for (TTabSheet* p : pc->Pages())
                if (p->TabVisible()) {
                    pc->SetActivePage(p);
                    break;
                }
        }
    }
}

std::vector<TNotebookPage*> TNotebook::Pages() const {
    std::vector<TNotebookPage*> r;
    for (TControl* c : Controls())
        if (c->Kind() == TControlKind::NotebookPage) r.push_back(static_cast<TNotebookPage*>(c));
    return r;
}

void TNotebook::SetPageIndex(int i) {
    if (i < 0 || i >= static_cast<int>(Pages().size()) || i == pageIndex_) return;
    pageIndex_ = i;
    Changed(TProp::Page);
    if (OnPageChanged) OnPageChanged();
}
