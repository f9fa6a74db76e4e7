// Display set-up, the same for every module of this project.
#ifndef KESTRIN_DISPLAY_H
#define KESTRIN_DISPLAY_H

// Answers DISPLAY_SETUP: the slider manipulator, the yellow-green colour
// (200, 220, 0) and no tool, asked for in that order.
void setupModuleDisplay(void);

#endif
