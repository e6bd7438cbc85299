#pragma once
// Form models: plain objects that stand for the controls of the program's windows and
// carry their data. Like the controls, they raise their events when their state changes,
// also when code changes it (setting ListIndex raises Click; setting Value raises Click).
// A Win32 window binds to them through Changed and mirrors them into real controls.
#include <cstdint>
#include <string>
#include <vector>

#include "base/signal.h"

namespace qm {

// What every control has: visibility, enabled state, a tooltip, and the view's hook.
class ControlModel {
public:
    explicit ControlModel(bool visible = true) : visible_(visible) {}
    Signal<> Changed;  // any state change, for the bound view

    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { Update(visible_, visible); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { Update(enabled_, enabled); }
    const std::wstring& ToolTipText() const { return toolTip_; }
    void SetToolTipText(std::wstring text) { Update(toolTip_, std::move(text)); }
    // Asks the view to repaint now (the work that follows may keep the loop busy).
    void Refresh() { Changed(); }
    Signal<> FocusRequested;
    void SetFocus() { FocusRequested(); }

protected:
    template <class T>
    void Update(T& field, T value) {
        if (field == value) return;
        field = std::move(value);
        Changed();
    }

private:
    bool visible_ = true;
    bool enabled_ = true;
    std::wstring toolTip_;
};

class LabelModel : public ControlModel {
public:
    explicit LabelModel(std::wstring caption = {}, bool visible = true)
        : ControlModel(visible), caption_(std::move(caption)) {}
    const std::wstring& Caption() const { return caption_; }
    void SetCaption(std::wstring caption) { Update(caption_, std::move(caption)); }

private:
    std::wstring caption_;
};

class ButtonModel : public LabelModel {
public:
    using LabelModel::LabelModel;
    Signal<> Click;
};

class TextBoxModel : public ControlModel {
public:
    const std::wstring& Text() const { return text_; }
    void SetText(std::wstring text) { Update(text_, std::move(text)); }

private:
    std::wstring text_;
};

// Value 0 = unchecked, 1 = checked, 2 = grey. Setting a new value raises Click.
class CheckBoxModel : public LabelModel {
public:
    using LabelModel::LabelModel;
    Signal<> Click;

    int Value() const { return value_; }
    void SetValue(int value) {
        if (value == value_) return;
        value_ = value;
        Changed();
        Click();
    }

private:
    int value_ = 0;
};

struct ListItem {
    std::wstring text;
    std::int32_t data = 0;
    bool selected = false;
    bool checked = false;
};

// A list box or combo box. ListIndex -1 means no current item. In a list with check boxes
// a line is selected when it is checked (Selected and SelCount follow the boxes), and
// ListIndex is only the current line.
class ListModel : public ControlModel {
public:
    enum class Style { Plain, CheckBoxes };
    explicit ListModel(bool visible = true, Style style = Style::Plain) : ControlModel(visible), style_(style) {}
    bool HasCheckBoxes() const { return style_ == Style::CheckBoxes; }
    Signal<> Click;              // ListIndex changed (also when code sets it)
    Signal<int> ItemCheck;       // a line's check box changed (index)
    Signal<> DblClick;           // the current line was double-clicked or chosen with Enter

    int ListCount() const { return static_cast<int>(items_.size()); }
    const std::wstring& List(int index) const { return items_.at(static_cast<size_t>(index)).text; }
    std::int32_t ItemData(int index) const { return items_.at(static_cast<size_t>(index)).data; }
    void SetItemData(int index, std::int32_t data) { items_.at(static_cast<size_t>(index)).data = data; }
    const std::vector<ListItem>& Items() const { return items_; }

    // Appends (or inserts at index) and returns the new item's index (VB's NewIndex).
    int AddItem(std::wstring text, int index = -1);
    void RemoveItem(int index);
    void Clear();

    int ListIndex() const { return listIndex_; }
    void SetListIndex(int index);
    // The current item's text, or the typed text of a combo box when none is current.
    std::wstring Text() const;
    void SetText(std::wstring text) { Update(text_, std::move(text)); }

    bool Selected(int index) const {
        const ListItem& item = items_.at(static_cast<size_t>(index));
        return HasCheckBoxes() ? item.checked : item.selected;
    }
    void SetSelected(int index, bool selected);
    int SelCount() const;

    bool Checked(int index) const { return items_.at(static_cast<size_t>(index)).checked; }
    void SetChecked(int index, bool checked);

    // Case-insensitive search for a whole line; -1 when absent.
    int FindNoCase(std::wstring_view text) const;

private:
    Style style_;
    std::vector<ListItem> items_;
    int listIndex_ = -1;
    std::wstring text_;
};

class ProgressBarModel : public ControlModel {
public:
    int Min() const { return 0; }
    int Max() const { return 100; }
    int Value() const { return value_; }
    // Values outside Min..Max are refused, as the control refuses them.
    bool SetValue(int value);

private:
    int value_ = 0;
};

class TabStripModel : public ControlModel {
public:
    Signal<> Click;
    int TabCount() const { return static_cast<int>(captions_.size()); }
    const std::wstring& Caption(int index) const { return captions_.at(static_cast<size_t>(index)); }
    void AddTab(std::wstring caption);
    void RemoveLastTab();
    int SelectedIndex() const { return selected_; }
    void Select(int index);  // raises Click

private:
    std::vector<std::wstring> captions_;
    int selected_ = -1;
};

// A window's own state: shown or hidden, position in twips, loaded or not.
// A window starts hidden: loading it does not show it.
class FormModel : public ControlModel {
public:
    FormModel() : ControlModel(false) {}
    // Shows the window in front of the others, restored if the user minimised it.
    Signal<> FrontRequested;
    void ShowInFront() {
        SetVisible(true);
        FrontRequested();
    }
    bool Loaded() const { return loaded_; }
    void SetLoaded(bool loaded) { Update(loaded_, loaded); }
    int Top() const { return top_; }
    int Left() const { return left_; }
    void Move(int left, int top) {
        if (left == left_ && top == top_) return;
        left_ = left;
        top_ = top;
        Changed();
    }

private:
    bool loaded_ = false;
    int top_ = 0;
    int left_ = 0;
};

}  // namespace qm
