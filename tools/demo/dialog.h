// vexa-demo dialog: the image file dialog over the library's own plug-ins.
#pragma once

namespace demo {

// argv[2...]: [--save] [--kinds N] [FILE]. Prints the chosen file and its filter identifier,
// "cancelled", or the reason no dialog could be shown; 0 when a file was chosen or the user
// cancelled, 1 when no dialog could be shown.
int RunDialog(int argc, char** argv);

}  // namespace demo
