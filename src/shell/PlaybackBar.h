#pragma once

// The bar under a demo as it plays: pause, the speed, and where it stands,
// to be dragged to any second. Only while a demo plays.
void drawPlaybackBar();
