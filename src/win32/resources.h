#pragma once

// Resource identifiers, shared by krelt.rc and the code.
#define kAppIcon 1
#define kRecordIcon 2
#define kFieldIcon 3
