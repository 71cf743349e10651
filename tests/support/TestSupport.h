// Fixtures shared by the tests: the in-process reference service, a private
// environment per test, and a small synchronous HTTP helper for talking to it.
#pragma once

#include "TestEnvironment.h"
#include "TestHttp.h"
#include "TestService.h"
