// The client headers wayland-scanner writes for the wlroots protocols, usable from C++.
#pragma once

// The layer-shell header names a parameter `namespace`, a C++ keyword.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
