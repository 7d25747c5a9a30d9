#include "search/timeman.h"

namespace zekora {

SearchLimits limits;

}  // namespace zekora
