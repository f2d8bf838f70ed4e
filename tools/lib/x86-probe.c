/* The smallest 32-bit Windows console program: tools/lib/wine.sh runs it under the 32-bit Wine
   loader to learn whether this machine runs 32-bit Windows programs at all. */
#include <stdio.h>

int main(void)
{
    puts(sizeof(void*) == 4 ? "32-bit programs run" : "not a 32-bit build");
    return sizeof(void*) == 4 ? 0 : 1;
}
