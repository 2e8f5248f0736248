// The process's write-back thread: starts writing a file's modified pages to
// disk (sync_file_range without waiting flags) away from the thread that
// asked, because queueing many megabytes of pages blocks until the device
// takes them. Nothing is promised about what reaches the disk; committing
// stays fsync's job.
//
// A descriptor handed over stays open until its write-back has started:
// CancelWriteBack, called before the descriptor is closed, removes a queued
// request and waits for a running one. A forked child never hands anything
// to its parent's thread (which it does not have): it writes back inline.
#pragma once

namespace kestrel {

// Queues descriptor `fd` for write-back (once, however often it is asked
// for before the thread gets to it). Answers false only when starting the
// write-back inline failed.
bool QueueWriteBack(int fd);
// Forgets a queued request for `fd` and waits until no write-back of it
// runs; call it before closing the descriptor.
void CancelWriteBack(int fd);

}  // namespace kestrel
