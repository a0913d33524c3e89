// The new-player dialog: asks for a name, refuses one a stored player
// already has (by its file-safe form) and makes the new player current. The
// first player cannot be cancelled: without a player there is no Cancel.
#pragma once

#include "framework/scene/LabelInput.h"
#include "game/frontend/DialogQuorvel2.h"

class DialogNameInput : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogNameInput)

    explicit DialogNameInput(Qmv2::PropertyNode* description);

    // Fades in with the keyboard in the name entry.
    void Show() override;
    // A click anywhere keeps typing in the entry.
    bool OnLeftButtonDown(Qmv2::MouseMessageData* data) override;
    bool OnLeftButtonUp(Qmv2::MouseMessageData* data) override;

    // After every change of the name: a tick, and OK only for a name that
    // is more than blanks.
    void OnTyped();
    // Creates the player, or says that one of that name exists.
    void OnCreate();

    // The name as it is stored: the entry's text without blanks at either end.
    static std::string CleanName(const Qmv2::UTF8String& text);

    Qmv2::LabelInput* GetEntry() const noexcept { return m_Entry; }

private:
    void Focus();

    Qmv2::LabelInput* m_Entry = nullptr;
};
