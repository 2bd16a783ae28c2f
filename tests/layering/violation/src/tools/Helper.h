#pragma once
// A folder that no layer names.
