#pragma once
// Moved to the common library; kept until its last user includes "common/utf8.hpp".

#include "common/utf8.hpp"
