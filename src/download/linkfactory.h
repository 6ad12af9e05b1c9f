#pragma once

#include "download/link.h"
#include "download/serialports.h"

#include <memory>

// The link of the kind the settings name, configured from them. The one
// place that knows every kind of link.
std::unique_ptr<Link> createLink(const LinkSettings &settings,
                                 const SerialPorts::Overrides &overrides);
