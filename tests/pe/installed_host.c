/* The smallest host that links against the installed package, built as README tells a host's
 * developer to build it: the header from include/, the import library from lib/. */
#include <hidkeys.h>

int main(void) {
    BUK_OpenProc open = BUK_Open;
    BUK_CloseProc close = BUK_Close;
    BUK_ControlProc control = BUK_Control;
    return open == 0 || close == 0 || control == 0;
}
