#include "editor/IPopupMenu.h"

#include <cstdio>

namespace halvane {

IPopupMenu::Item& IPopupMenu::AddItem(const char* text, int flags,
                                      std::unique_ptr<IPopupMenu> submenu) {
    Item item;
    item.text = text ? text : "";
    item.flags = flags;
    item.submenu = std::move(submenu);
    items_.push_back(std::move(item));
    return items_.back();
}

IPopupMenu::Item& IPopupMenu::AddSeparator() {
    return AddItem("", kSeparator);
}

IPopupMenu::Item* IPopupMenu::GetItem(int index) {
    return index >= 0 && index < NItems() ? &items_[static_cast<std::size_t>(index)] : nullptr;
}

const IPopupMenu::Item* IPopupMenu::GetItem(int index) const {
    return index >= 0 && index < NItems() ? &items_[static_cast<std::size_t>(index)] : nullptr;
}

IPopupMenu* IPopupMenu::Submenu(int index) {
    Item* item = GetItem(index);
    return item ? item->submenu.get() : nullptr;
}

void IPopupMenu::SetItemFlag(int index, int flag, bool on) {
    if (Item* item = GetItem(index))
        item->flags = on ? (item->flags | flag) : (item->flags & ~flag);
}

void IPopupMenu::CheckItemAlone(int index) {
    for (int i = 0; i < NItems(); ++i)
        SetItemFlag(i, kChecked, i == index);
}

void IPopupMenu::ClearChosen() {
    chosen_ = -1;
    for (Item& item : items_)
        if (item.submenu)
            item.submenu->ClearChosen();
}

std::string IPopupMenu::DisplayText(int index) const {
    const Item* item = GetItem(index);
    if (!item)
        return std::string();
    char text[512];
    const int n = index + 1;
    const char* t = item->text.c_str();
    switch (numbering_) {
    case kOneDigit:
        std::snprintf(text, sizeof(text), "%1d: %s", n, t);
        break;
    case kTwoDigits:
        std::snprintf(text, sizeof(text), "%02d: %s", n, t);
        break;
    case kThreeDigits:
        std::snprintf(text, sizeof(text), "%03d: %s", n, t);
        break;
    case kNone:
        return item->text;
    }
    return text;
}

int IPopupMenu::CountCommands() const {
    int n = 0;
    for (const Item& item : items_)
        n += 1 + (item.submenu ? item.submenu->CountCommands() : 0);
    return n;
}

int IPopupMenu::CommandOf(const IPopupMenu* menu, int item) const {
    int command = 0;
    for (int i = 0; i < NItems(); ++i) {
        if (menu == this && i == item)
            return command;
        ++command;
        if (const IPopupMenu* sub = items_[static_cast<std::size_t>(i)].submenu.get()) {
            const int inner = sub->CommandOf(menu, item);
            if (inner >= 0)
                return command + inner;
            command += sub->CountCommands();
        }
    }
    return -1;
}

IPopupMenu* IPopupMenu::MenuOfCommand(int command, int& item) {
    if (command < 0)
        return nullptr;
    for (int i = 0; i < NItems(); ++i) {
        if (command == 0) {
            item = i;
            return this;
        }
        --command;
        if (IPopupMenu* sub = items_[static_cast<std::size_t>(i)].submenu.get()) {
            const int size = sub->CountCommands();
            if (command < size)
                return sub->MenuOfCommand(command, item);
            command -= size;
        }
    }
    return nullptr;
}

} // namespace halvane
