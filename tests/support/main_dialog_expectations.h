// What the main dialog's 32 controls must be, in template order: ids, classes and styles. The
// Linux tests hold the compiled template to it, the Windows window test the live window.
#pragma once

#include <cstdint>
#include <cstring>

#include "resource.h"

namespace test_support {

constexpr int kUnaddressedControl = 65535;

constexpr int kMainDialogIds[32] = {65535, 111,   222,   333,   65535, 65535, 65535, 65535,
                                    444,   555,   65535, 65535, 65535, 65535, 65535, 666,
                                    777,   888,   65535, 65535, 65535, 65535, 999,   1111,
                                    1211,  65535, 65535, 65535, 65535, 1311,  1411,  1511};

struct ControlLook {
    std::uint32_t style;
    std::uint32_t exStyle;
    const char* className;
};

// The look of the control with `id`; among the unaddressed ones, group boxes (class Button)
// and labels (class Static) are told apart by `className`.
inline ControlLook ExpectedControlLook(int id, const char* className) {
    constexpr std::uint32_t kStaticEdge = 0x00020000;
    if (id == IDC_INPUT) return {0x50210004, 0, "Edit"};
    if (id == IDC_MD5) return {0x50010804, kStaticEdge, "Edit"};
    if (id == IDC_SHA256 || id == IDC_RIPEMD256) return {0x50010844, kStaticEdge, "Edit"};
    if (id == IDC_ABOUT) return {0x50018000, 0, "Button"};
    if (id != kUnaddressedControl) return {0x50010800, kStaticEdge, "Edit"};
    if (std::strcmp(className, "Button") == 0) return {0x50000007, 0, "Button"};
    return {0x50020000, 0, "Static"};
}

}  // namespace test_support
