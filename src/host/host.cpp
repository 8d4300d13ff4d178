#include "host/host.h"

Host* host = nullptr;
