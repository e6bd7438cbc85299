#pragma once
// What a caller of the self-closing box sets before showing one; cleared after each box.
#include <array>
#include <string>

namespace qm {

struct TimedBoxState {
    std::wstring TimedMsgText;
    bool bSingleButton = false;
    bool bTwoButton = false;
    std::array<std::wstring, 3> buttonCaptions;  // Button1Caption .. Button3Caption
};

}  // namespace qm
