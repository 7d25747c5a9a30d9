#include <cstdio>

#include "tools/commands.h"

namespace zekora::tool {

int evalCommand(int, char**) {
    std::printf("not built yet\n");
    return 1;
}

}  // namespace zekora::tool
