// Feedback to the program's makers: the themes with their hint and message
// texts, the error report of a failed send, the e-mail rule, and the form
// post (with the send log as log.zip) on a worker thread of its own.
#pragma once

#include <QObject>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "statsupload.h"

// The themes in the order the window lists them (Windows-1251).
const std::vector<std::string>& FeedbackThemes();
// The theme a failed send is reported under.
inline constexpr int kErrorReportTheme = 5;

// What choosing a theme puts into the window: the hint above the message,
// and the message (CR LF between lines) that replaces what was typed.
struct TThemeTexts {
  std::string hint;
  std::string message;
};
// For theme `index` (0 to 5) with the program's version and the installed
// gate list's version; an index outside the themes gives theme 0's texts.
TThemeTexts ThemeTexts(int index, const std::string& programVersion, int gatesVersion);

// The message of an error report: the versions, the gate, the number's first
// digits (all but its last 4; the line is left out for an empty phone) and
// the error.
std::string ErrorReportText(const std::string& gateName, const std::string& phone, const std::string& errorText,
                            const std::string& programVersion, int gatesVersion);

// Not empty, has "@", and a "." somewhere after the first "@".
bool IsEmailValid(std::string_view email);

// The form as it is posted; texts Windows-1251.
struct TFeedbackFields {
  std::string name, email, theme, message;
  std::optional<std::string> logZip;  // the send log's archive, when attached
};

// A ready request body and its content type.
struct TFeedbackPost {
  std::string contentType;
  std::string body;
};

// The multipart body (UTF-8): formid "feedback", sendername, email, subj,
// comments in this order, then the file field fileattachment "log.zip"
// (application/zip) when there is an archive.
TFeedbackPost BuildFeedbackPost(const TFeedbackFields& fields);

// Posts the form to `url` as the feedback sender; true when the server
// answers status 200 (a redirect is no success). `stop` ends it early; one
// that falls below `pace` ends as well.
bool PostFeedback(const std::string& url, const TFeedbackPost& post, TUploadStop& stop, TTransferPace pace = {});

class TFeedbackSendThread : public QObject {
  Q_OBJECT

 public:
  // The post of a body built before; nothing runs until Start.
  TFeedbackSendThread(std::string url, TFeedbackPost post, QObject* parent = nullptr);
  // Stops the post and waits for its thread; a result not yet handled is
  // dropped with this object.
  ~TFeedbackSendThread() override;

  void Start();

 signals:
  // On the main thread, once the post has ended.
  void finished(bool success);

 private:
  std::string url_;
  TFeedbackPost post_;
  TUploadStop stop_;
  std::thread thread_;
};
