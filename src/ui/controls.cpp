#include "ui/controls.h"

#include <algorithm>

#include "base/text.h"

namespace qm {

int ListModel::AddItem(std::wstring text, int index) {
    ListItem item{std::move(text)};
    int at = ListCount();
    if (index >= 0 && index < ListCount()) {
        at = index;
        if (listIndex_ >= at) ++listIndex_;
    }
    items_.insert(items_.begin() + at, std::move(item));
    Changed();
    return at;
}

void ListModel::RemoveItem(int index) {
    if (index < 0 || index >= ListCount()) return;
    items_.erase(items_.begin() + index);
    if (listIndex_ == index) listIndex_ = -1;
    else if (listIndex_ > index) --listIndex_;
    Changed();
}

void ListModel::Clear() {
    if (items_.empty() && listIndex_ == -1) return;
    items_.clear();
    listIndex_ = -1;
    Changed();
}

void ListModel::SetListIndex(int index) {
    if (index < -1 || index >= ListCount()) index = -1;
    const bool changed = index != listIndex_;
    listIndex_ = index;
    if (index >= 0 && !HasCheckBoxes()) {
        // A single-selection list selects the current line.
        for (auto& item : items_) item.selected = false;
        items_[static_cast<size_t>(index)].selected = true;
    }
    Changed();
    if (changed || index >= 0) Click();
}

std::wstring ListModel::Text() const {
    return listIndex_ >= 0 ? items_[static_cast<size_t>(listIndex_)].text : text_;
}

void ListModel::SetSelected(int index, bool selected) {
    if (HasCheckBoxes()) return SetChecked(index, selected);
    auto& item = items_.at(static_cast<size_t>(index));
    if (item.selected == selected) return;
    item.selected = selected;
    Changed();
}

int ListModel::SelCount() const {
    return static_cast<int>(std::count_if(items_.begin(), items_.end(),
                                          [this](const ListItem& i) { return HasCheckBoxes() ? i.checked : i.selected; }));
}

void ListModel::SetChecked(int index, bool checked) {
    auto& item = items_.at(static_cast<size_t>(index));
    if (item.checked == checked) return;
    item.checked = checked;
    Changed();
    ItemCheck(index);
}

int ListModel::FindNoCase(std::wstring_view text) const {
    for (int i = 0; i < ListCount(); ++i)
        if (EqualsNoCase(items_[static_cast<size_t>(i)].text, text)) return i;
    return -1;
}

bool ProgressBarModel::SetValue(int value) {
    if (value < Min() || value > Max()) return false;
    Update(value_, value);
    return true;
}

void TabStripModel::AddTab(std::wstring caption) {
    captions_.push_back(std::move(caption));
    Changed();
}

void TabStripModel::RemoveLastTab() {
    if (captions_.empty()) return;
    captions_.pop_back();
    if (selected_ >= TabCount()) selected_ = TabCount() - 1;
    Changed();
}

void TabStripModel::Select(int index) {
    if (index < 0 || index >= TabCount()) return;
    selected_ = index;
    Changed();
    Click();
}

}  // namespace qm
