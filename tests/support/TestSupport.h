// Fixtures shared by the tests.
#pragma once
