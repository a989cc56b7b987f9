#pragma once

// Settings of the whole process that must be made before QApplication exists: the viewer's
// main() and the tests that host its windows make the same ones.
void prepareProcess();
