#pragma once

// Kept for tests not yet moved to support/DocumentFixtures.h.
#include "support/DocumentFixtures.h"

namespace SpoDocumentFixture = DocumentFixtures;
