/* A host of the installed library: starts it, calls one function by name,
   checks the result and the error path, and stops it. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <tolvane/tolvane.h>

int main(void) {
    if (TolvaneInitialize() != 0) {
        fprintf(stderr, "TolvaneInitialize failed: %s\n", tolvane_last_error());
        return 1;
    }
    tolvane_value* args[2] = {tolvane_scalar(2), tolvane_scalar(8)};
    tolvane_value* out[1] = {NULL};
    int failures = 0;
    if (tolvane_call("GenerateBitStream", 1, out, 2, args) != 0) {
        fprintf(stderr, "GenerateBitStream failed: %s\n", tolvane_last_error());
        ++failures;
    } else {
        double bits[8];
        if (tolvane_numel(out[0]) != 8 || tolvane_get_numbers(out[0], bits, NULL, 8) != 8) ++failures;
        for (int i = 0; i < 8 && !failures; ++i)
            if (bits[i] != 1.0) ++failures;
        tolvane_free(out[0]);
    }
    if (tolvane_call("NoSuchFunction", 1, out, 0, NULL) == 0 || strlen(tolvane_last_error()) == 0) ++failures;
    /* Without a screen the application entry fails with its reason (no front
       end in this build, or no display), and the host goes on. */
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    if (OneX_Fwd_c() == 0 || strlen(tolvane_last_error()) == 0) {
        fprintf(stderr, "OneX_Fwd_c without a display did not fail with its reason\n");
        ++failures;
    }
    tolvane_free(args[0]);
    tolvane_free(args[1]);
    TolvaneTerminate();
    if (failures) fprintf(stderr, "consumer: %d checks failed\n", failures);
    else printf("consumer: ok\n");
    return failures ? 1 : 0;
}
