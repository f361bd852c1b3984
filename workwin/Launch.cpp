#include "workwin/Launch.h"

namespace zov {

}  // namespace zov
