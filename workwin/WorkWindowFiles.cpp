#include "workwin/WorkWindowFiles.h"

namespace zov {

}  // namespace zov
