// A button that opens a web address when it fires ("url"); "file" names an
// image loaded at once as its picture.
#pragma once

#include <string>

#include "framework/scene/Button.h"

namespace Qmv2 {

class ButtonURL : public Button {
    QMV_INDEXED_TYPE(ButtonURL)

    explicit ButtonURL(PropertyNode* description);
    ~ButtonURL() override = default;

    // Opens the address (http and https only, never through a shell), then
    // calls the bound method when there is one.
    void Invoke(void* argument) override;

    const std::string& GetLink() const { return m_Link; }
    void SetLink(const std::string& link) { m_Link = link; }

private:
    std::string m_Link;
};

}  // namespace Qmv2
