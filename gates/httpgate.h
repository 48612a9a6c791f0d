// The HTTP gate runner: performs the five steps of a send (initialisation,
// captcha picture, sending, delivery check, completion) as browser-like HTTP
// requests whose URLs, bodies and success tests are the gate's send
// parameters, plain text or scripts. Failures are reported only through
// ErrorCode and ErrorText; a script error outside a request leaves its step
// as an exception after setting code 30, which the step thread keeps.
#pragma once

#include <QImage>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "eval.h"
#include "evalclasses.h"
#include "gatesender.h"
#include "httpsend.h"
#include "postdata.h"

// The three kinds of POST a send makes; each reads its own row of
// parameter names (send: referer, posturl, ...; upload: mu_referer, ...;
// delivery check: cd_referer, ...).
enum TPostKind : int { pkSend = 0, pkUpload = 1, pkDeliveryCheck = 2 };

class THTTPGate : public TGateSender {
  PX_CLASS(THTTPGate, TGateSender)
 public:
  // Made with TGate::Create<THTTPGate>(name) or through the gate factory
  // once RegisterHTTPGate has run. Loading binds the script objects and
  // starts the send log when Send\LogSend is on (EFileError when its folder
  // cannot be written).
  THTTPGate(TConstructKey key, std::string name);
  ~THTTPGate() override;

  // The objects a send works on, in the order they are made; the scripts
  // see them as Html, GateInfo (Info), Stored, PostData, HTTP and Cookies.
  TEvalutor Evaluator;
  // Protocol 1.1, the browser's user agent, keep-alive on, no 100-continue.
  TMyHTTPSend HTTPClient;
  TText Html;  // the text of the last page loaded
  // Values scripts keep between the steps of one send; emptied by step 0.
  TPropList Stored;
  // The next POST body; its charset is the raw text of the parameter
  // Encoding, while answers are read in the evaluated one.
  TPostData PostData{false, ""};
  THTTPClient HTTP;   // the scripts' request options and the last answer
  TPropList Cookies;  // cookie name to value, in step with the client's list

  // HandleRedirects := 1 before the gate's own rows load.
  void SetDefaultParams() override;
  // A THTTPLogger named Name + " v." + Version.
  std::unique_ptr<TSendLogger> CreateLogger() override;
  // The base's work, then the message bound as MMS for a gate of type "MMS"
  // (any case), else as SMS.
  void SetMessage(TSMS* message) override;
  // Step 0: Stored emptied, SendInit run, HTTP.Protocol taken over, PageURL
  // loaded into Html. True when ErrorCode is 0 (without a PageURL no request
  // is made and the code is left as it was).
  bool Init() override;
  // Step 1: ImageURL loaded with PageURL as referer and decoded as JPEG,
  // GIF, PNG or BMP, then handed to proccessimage as Img when the gate has
  // it. A null picture when the answer is no picture (error 0) or a request
  // or script failed (the error set).
  QImage GetCaptcha() override;
  // Step 2: the attachment upload first for an MMS gate whose
  // UploadMultimedia is true, then the send POST. True on success.
  bool Send() override;
  // Step 3: up to cd_maxcheckdelivery checks, waiting cd_delay ms before
  // the first and cd_delta ms longer before each next, while the check
  // answers "wait"; error 50 when it still does after the last. A cancel
  // ends the waiting at once.
  bool CheckDelivery() override;
  // Step 4: runs SendDone.
  void Done() override;

  // The send parameter `name` (any case) evaluated: unassigned when it is
  // missing or empty, a script's result, or the text itself. A script error
  // sets error 30 with the script's message and is raised again.
  Variant GetParam(const std::string& name);
  // GET with redirects followed; the Referer line only when `referer` is not
  // empty. True when ErrorCode is 0 afterwards (10 socket error with its
  // number and text, 20 a status other than 200, 999 anything unexpected).
  bool HTTPGet(const std::string& url, const std::string& referer);
  // The POST of one TPostKind with its success test. True on success; false
  // with 10, 20 (the stripped error text when the test failed), 30, 999, or
  // 500 when a delivery check answers "wait".
  bool HTTPPost(int kind);
  // A request a script makes through HTTP.HTTPMethod, with the script's
  // headers, user agent, referer and body. Raises what fails to the script;
  // the script judges the outcome by Html and Cookies.
  void ScriptHTTPMethod(const std::string& method, const std::string& url);
  // Sleeps in 100 ms slices until `ms` have passed; false as soon as the
  // send is cancelled. A wait of 0 or less only looks at the cancel.
  bool WaitFor(int64_t ms);
  // Ends a request under way at once (socket error 10053); for a program
  // that is closing while a step runs. Safe from any thread.
  void Abort() { HTTPClient.Stop(); }

 protected:
  void Load() override;

 private:
  // One evaluator per level of nesting: a script's own request reads the
  // parameter Encoding, itself possibly a script, while the first
  // evaluator is still running.
  TEvalutor& EvaluatorForDepth(int depth);
  void Bind(const std::string& name, TObject* obj);
  void OnStatement();

  std::string ParamText(const std::string& name) { return VarToStr(GetParam(name)); }
  bool ParamBool(const std::string& name) { return GetParam(name).AsBoolean(); }
  // A whole number; a parameter that is no number (or does not fit) reads
  // as 0, so that a broken delay never stops a send.
  int64_t ParamWhole(const std::string& name);
  bool HasParam(const std::string& name) const { return SendParams.Exists(name); }

  // Request preparation: the script's response entries (when full) and
  // HTTP.Headers emptied, the client's request reset to the default headers.
  void ResetRequest(bool full);
  void StoreCookies();
  void ReadResponse();
  // The content type of a POST body when the gate names none.
  std::string DefaultPostMime() const;
  // The answer's body read in the charset the parameter Encoding names.
  std::string ResponseText();
  // Error 10 with the socket's number and text when the last request
  // failed on the socket; true then.
  bool SocketFailed();
  // Sets the outcome of a success test: 500 for "wait" when `waitAllowed`,
  // 20 with the stripped `errorParam` text for empty or "false", else 0.
  void JudgeSuccess(const std::string& success, const std::string& errorParam, bool waitAllowed);

  std::unique_ptr<TEvalutor> nested_;
  int depth_ = 0;
  std::vector<std::pair<std::string, TObject*>> bindings_;
  // When the running script first saw the cancel (see kScriptCancelGraceMs).
  bool cancelSeen_ = false;
  std::chrono::steady_clock::time_point cancelSeenAt_;
};

// Makes THTTPGate the runner of gates of class "HTTP". Call once at start-up
// on the main thread, before the first send (the program and pxsend do).
void RegisterHTTPGate();
