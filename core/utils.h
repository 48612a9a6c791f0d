// The shared text, encoding and phone helpers in one include, for callers
// that want all of them (the script interface registers most of them).
#pragma once

#include "charset.h"
#include "formencode.h"
#include "html.h"
#include "mime.h"
#include "monthnames.h"
#include "phone.h"
#include "picture.h"
#include "random.h"
#include "regexp.h"
#include "textutils.h"
#include "timezone.h"
