#pragma once

// The Windows virtual-key codes the game gives a meaning to. Key states are
// kept under these codes whatever the platform reports.
constexpr int VK_TAB    = 9;
constexpr int VK_RETURN = 13;
constexpr int VK_SPACE  = 32;
constexpr int VK_LEFT   = 37;
constexpr int VK_UP     = 38;
constexpr int VK_RIGHT  = 39;
constexpr int VK_DOWN   = 40;
constexpr int VK_F2     = 113;
