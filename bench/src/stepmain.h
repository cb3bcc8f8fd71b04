// The child side of a measured library step. The parent runs this program
// again as `zub_bench --step NAME key=value...` so that each step's peak
// memory is its own process's. The child times only the library calls and
// prints "seconds=<s>", "cpu=<s>" (its processor time in those calls),
// "count=<n>" and "peak=<bytes>" (its VmHWM) on standard output.
//
// Steps:
//   add      store= repo= src=DIR [first=] count= prefix= phyurl= ids=FILE
//            (Doc::Add of src/fNNNNNN.bin; the new ids are appended to FILE)
//   checkin  store= ids=FILE src=FILE [repeat=N]  (Doc::Read untimed, then
//            Doc::CheckIn, repeated N times per document)
//   checkout store= ids=FILE dest=DIR             (Doc::CheckOut)
//   list     store= repo= reps=N                  (Docs::GetAll, fastest of N after a warm-up)
//   history  store= doc= reps=N                   (DocHistorys::GetAll, likewise)
//   baseline store= repo= name=                   (BaseLine::Create)
#pragma once

namespace zub::bench {

class StepMain {
public:
    // argv[1] is "--step". Returns the process exit code.
    static int Run(int argc, char** argv);
};

}  // namespace zub::bench
