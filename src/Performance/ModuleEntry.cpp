// The shared module carries the whole of zuta_performance; its entries are declared here so the
// library is not empty of sources of its own.
#include "Performance/PerformanceExports.h"
