#pragma once

// The Windows virtual-key codes the game gives a meaning to. Key states are
// kept under these codes whatever the platform reports.
constexpr int VK_TAB    = 9;
constexpr int VK_RETURN = 13;
constexpr int VK_SPACE  = 32;
constexpr int VK_PRIOR  = 33;  // Page Up
constexpr int VK_NEXT   = 34;  // Page Down
constexpr int VK_LEFT   = 37;
constexpr int VK_UP     = 38;
constexpr int VK_RIGHT  = 39;
constexpr int VK_DOWN   = 40;
constexpr int VK_F2     = 113;
// Plus and minus on the keypad and on the main keys.
constexpr int VK_ADD       = 107;
constexpr int VK_SUBTRACT  = 109;
constexpr int VK_OEM_PLUS  = 187;
constexpr int VK_OEM_MINUS = 189;
// Comma and full stop: a demo's seek back and on.
constexpr int VK_OEM_COMMA  = 188;
constexpr int VK_OEM_PERIOD = 190;
