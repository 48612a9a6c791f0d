// The named objects of one send, bound to an evaluator as the gate runner
// binds them; for tests and benchmarks.
#pragma once

#include "eval.h"
#include "evalclasses.h"
#include "messages.h"
#include "postdata.h"

struct SendObjects {
  TText Html;
  TPropList GateInfo;
  TPropList Stored;
  TPostData PostData{false, "windows-1251"};
  THTTPClient HTTP;
  TPropList Cookies;
  TSMS SMS;

  void BindTo(TEvalutor& eval) {
    eval.SetObject("Html", &Html);
    eval.SetObject("GateInfo", &GateInfo);
    eval.SetObject("Stored", &Stored);
    eval.SetObject("PostData", &PostData);
    eval.SetObject("HTTP", &HTTP);
    eval.SetObject("Cookies", &Cookies);
    eval.SetObject("SMS", &SMS);
  }
};
