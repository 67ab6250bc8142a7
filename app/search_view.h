// The search command and the page links as the search window runs them: the search
// state of the engine tied to the result view, without the window system.
#pragma once

#include <string>

#include "core/job_progress.h"
#include "export/settings.h"
#include "index/in_memory_index.h"
#include "index/index_lock.h"
#include "viewer/pages.h"
#include "viewer/result_view.h"

namespace norvel {

// What the mouse over the result view asks of the window: the cursor and, when there is
// one, a status text.
struct HoverInfo {
  bool over_link = false;  // hand cursor, else arrow
  bool has_status = false;
  std::string status;
};

class SearchSession {
 public:
  // Binds the view to this session's search state: its page layouts, its query words and
  // its links. None of the pointers is owned; all must outlive the session.
  SearchSession(Settings* settings, InMemoryIndex* index, JobProgress* job, ResultView* view);
  SearchSession(const SearchSession&) = delete;
  SearchSession& operator=(const SearchSession&) = delete;

  // The Search button or Enter, with the search field's text. Swaps a new index in first
  // when a job has one ready, and loads the index again when another window or norvel-cli
  // has replaced it since it was loaded.
  void OnSearch(const std::string& field_text);
  // A link of the view: a title opens its document, Back returns, Previous and Next page.
  void FollowLink(int link);
  // The mouse at a client point of the result view (not while dragging a selection).
  HoverInfo Hover(int x, int y) const;
  // Releases the search and the view's lines, as a new search or shutdown does.
  void Release();

  const SearchState& state() const { return state_; }
  // The job whose ready flag a search acts on (the shell's own until a job plugs in).
  JobProgress* job() const { return job_; }
  void set_job(JobProgress* job) { job_ = job; }
  PageSources Sources() const;

 private:
  // The page's excerpts of an international index, in the window's code page.
  void ShowableExcerpts();
  void LayOutPage();
  void ShowFromStart();
  bool LockIndexForReading(SwapLock* reading);
  bool LoadReplacedIndex(SwapLock* reading, bool* reloaded);
  bool CompleteInterruptedSwap(SwapLock* reading);

  Settings* settings_;
  InMemoryIndex* index_;
  JobProgress* job_;
  ResultView* view_;
  SearchState state_;
};

}  // namespace norvel
