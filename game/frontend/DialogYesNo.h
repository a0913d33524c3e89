// The game's question box: a header, a message and a yes and a no button
// whose actions the caller supplies. A longer message pushes the buttons down
// and grows the box.
#pragma once

#include <string>

#include "framework/core/object/iGuiMethod.h"
#include "game/frontend/DialogQuorvel2.h"

namespace Qmv2 {
class Button;
class Label;
class Scene;
}  // namespace Qmv2

class DialogYesNo : public DialogQuorvel2 {
    QMV_INDEXED_TYPE(DialogYesNo)

    using Callback = Qmv2::iGuiMethod::Callback;

    explicit DialogYesNo(Qmv2::PropertyNode* description);

    // Replaces any open question with this message key in `scene`, then makes
    // the question (named by the message key) from "DIALOG_YESNO" and fills
    // it. The caller adds it to the scene and shows it. Null when the scene
    // or the definition is missing.
    static DialogYesNo* Open(Qmv2::Scene* scene, const std::string& messageKey, const std::string& headerKey,
                             void* yesObject, Callback yes, void* noObject, Callback no);

    // Sets the texts and binds the buttons: a null object is the dialog
    // itself, a null function closes the dialog.
    void SetText(const std::string& message, const std::string& header, void* yesObject, Callback yes,
                 void* noObject, Callback no);
    // One centred OK button, keeping the yes action.
    void SetSingleButton();

    Qmv2::Label* GetHeader() const noexcept { return m_Header; }
    Qmv2::Label* GetMessage() const noexcept { return m_Message; }
    Qmv2::Button* GetYesButton() const noexcept { return m_Yes; }
    Qmv2::Button* GetNoButton() const noexcept { return m_No; }

private:
    Qmv2::Label* m_Header = nullptr;
    Qmv2::Label* m_Message = nullptr;
    Qmv2::Button* m_Yes = nullptr;
    Qmv2::Button* m_No = nullptr;
};
