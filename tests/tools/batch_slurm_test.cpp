#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "tests/tools/batch_manifest_fixture.h"
#include "tests/tools/cli_fixture.h"

namespace {

using nlohmann::json;
using namespace std::chrono_literals;

// A port nobody listens on now, for a daemon to take.
int FreePort() {
  const int probe = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
  close(probe);
  return ntohs(address.sin_port);
}

// A Slurm cluster of one node on this machine, run as the current user from a folder of its
// own: munged with a fresh key, slurmctld and slurmd, each stopped by its process id at the end.
class OneNodeSlurm {
public:
  explicit OneNodeSlurm(const fs::path& folder) : folder(folder) {
    fs::create_directories(folder / "state");
    fs::create_directories(folder / "spool");
    // munged insists that everyone may reach its socket's folder, and no one else read its key.
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::group_read |
                                fs::perms::others_exec | fs::perms::others_read);
    std::random_device random;
    std::ofstream key(folder / "munge.key", std::ios::binary);
    for (int i = 0; i < 256; ++i) key << char(random()) << char(random() >> 8) << char(random() >> 16) << char(random() >> 24);
    key.close();
    fs::permissions(folder / "munge.key", fs::perms::owner_read);
    const std::string user = getpwuid(getuid())->pw_name;
    const std::string f = folder.string();
    std::ofstream(folder / "slurm.conf")
        << "ClusterName=patinex\nSlurmctldHost=localhost(127.0.0.1)\nSlurmUser=" << user << "\nSlurmdUser=" << user
        << "\nSlurmctldPort=" << FreePort() << "\nSlurmdPort=" << FreePort()
        << "\nAuthType=auth/munge\nAuthInfo=socket=" << f << "/munge.socket\nStateSaveLocation=" << f
        << "/state\nSlurmdSpoolDir=" << f << "/spool\nSlurmctldPidFile=" << f << "/slurmctld.pid\nSlurmdPidFile=" << f
        << "/slurmd.pid\nSlurmctldLogFile=" << f << "/slurmctld.log\nSlurmdLogFile=" << f << "/slurmd.log\n"
        << "ProctrackType=proctrack/linuxproc\nTaskPlugin=task/none\nSchedulerType=sched/builtin\n"
        << "SelectType=select/cons_tres\nSelectTypeParameters=CR_CPU\nJobAcctGatherType=jobacct_gather/none\n"
        << "AccountingStorageType=accounting_storage/none\nMpiDefault=none\nReturnToService=2\n"
        << "NodeName=patinexnode NodeAddr=127.0.0.1 NodeHostname=localhost CPUs=2 State=UNKNOWN\n"
        << "PartitionName=main Nodes=ALL Default=YES MaxTime=INFINITE State=UP\n";
    setenv("SLURM_CONF", (folder / "slurm.conf").c_str(), 1);
    Start("munged", {"munged", "-F", "--key-file=" + f + "/munge.key", "--socket=" + f + "/munge.socket",
                     "--pid-file=" + f + "/munged.pid", "--log-file=" + f + "/munged.log",
                     "--seed-file=" + f + "/munged.seed"});
    for (int i = 0; i < 50 && !fs::exists(folder / "munge.socket"); ++i) std::this_thread::sleep_for(100ms);
    Start("slurmctld", {"slurmctld", "-D", "-f", f + "/slurm.conf"});
    Start("slurmd", {"slurmd", "-D", "-f", f + "/slurm.conf", "-N", "patinexnode"});
  }

  ~OneNodeSlurm() {
    for (auto daemon = daemons.rbegin(); daemon != daemons.rend(); ++daemon) {
      kill(*daemon, SIGTERM);
      int status = 0;
      bool ended = false;
      for (int i = 0; i < 100 && !ended; ++i) {
        ended = waitpid(*daemon, &status, WNOHANG) == *daemon;
        if (!ended) std::this_thread::sleep_for(50ms);
      }
      if (!ended) {
        kill(*daemon, SIGKILL);
        waitpid(*daemon, &status, 0);
      }
    }
    unsetenv("SLURM_CONF");
  }

  // The first line a command prints, or empty.
  static std::string Ask(const std::string& command) {
    std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    char line[256] = {};
    const bool got = pipe != nullptr && std::fgets(line, sizeof line, pipe) != nullptr;
    if (pipe != nullptr) pclose(pipe);
    std::string answer = got ? line : "";
    while (!answer.empty() && answer.back() == '\n') answer.pop_back();
    return answer;
  }

  // Waits, at most timeout, for the command's first line to be wanted.
  static bool WaitFor(const std::string& command, const std::string& wanted, std::chrono::seconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (Ask(command) != wanted) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(200ms);
    }
    return true;
  }

  std::string Logs() const {
    std::string logs;
    for (const char* name : {"munged.out", "slurmctld.out", "slurmd.out"}) {
      logs += std::string("--- ") + name + "\n" + ReadFile(folder / name);
    }
    return logs;
  }

private:
  void Start(const std::string& name, std::vector<std::string> words) {
    const std::string log = (folder / (name + ".out")).string();
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
      const int output = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(output, 1);
      dup2(output, 2);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    if (child > 0) daemons.push_back(child);
  }

  fs::path folder;
  std::vector<pid_t> daemons;
};

bool SlurmInstalled() {
  return std::system("command -v slurmctld >/dev/null 2>&1 && command -v munged >/dev/null 2>&1") == 0;
}

class BatchSlurm : public CliFixture {
protected:
  BatchSlurm() : CliFixture("batch") {}
};

// The manifest as an array job on a real one-node cluster: each task runs its asset, and
// --collect reports the two done and the broken one failed.
TEST_F(BatchSlurm, RunsTheManifestAsAnArrayJobAndCollectsItsResults) {
  if (!SlurmInstalled()) GTEST_SKIP() << "slurmctld or munged is not installed (tools/install_dependencies.sh)";
  const std::string manifest = WriteManifest(folder / "job" / "manifest.json", SphereBatchManifest(folder / "job"));
  OneNodeSlurm cluster(folder / "slurm");
  ASSERT_TRUE(OneNodeSlurm::WaitFor("sinfo -h -o %T", "idle", 30s)) << cluster.Logs();

  CliResult run = Cli(manifest + " --slurm --submit --limit 2 --cpus 1 --time 10");
  ASSERT_EQ(run.status, 0) << run.err << cluster.Logs();
  const json submitted = json::parse(run.out);
  const std::string script = ReadFile(submitted["script"].get<std::string>());
  EXPECT_NE(script.find("#SBATCH --array=0-2%2\n"), std::string::npos) << script;
  EXPECT_NE(script.find("#SBATCH --cpus-per-task=1\n"), std::string::npos) << script;
  const std::string job = submitted["jobId"];
  ASSERT_TRUE(OneNodeSlurm::WaitFor("squeue -h -j " + job, "", 120s)) << "the array job did not end\n"
                                                                       << cluster.Logs();

  run = Cli(manifest + " --collect --summary " + (folder / "summary.json").string());
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("asset 1 (broken.glb) failed"), std::string::npos) << run.err;
  const json summary = json::parse(ReadFile(folder / "summary.json"));
  EXPECT_EQ(summary["assets"][0]["status"], "done") << summary.dump(2);
  EXPECT_EQ(summary["assets"][1]["status"], "failed");
  EXPECT_EQ(summary["assets"][2]["status"], "done");
  EXPECT_TRUE(fs::exists(folder / "job" / "aged" / "b.glb"));
  EXPECT_TRUE(fs::exists(folder / "job" / ("manifest-" + job + "_1.out"))) << "the task's output beside the manifest";
}

// Without a run, every asset of the manifest is missing, and the exit status says so.
TEST_F(BatchSlurm, CollectsNothingAsMissing) {
  const std::string manifest = WriteManifest(folder / "manifest.json", SphereBatchManifest(folder));
  const CliResult run = Cli(manifest + " --collect");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(json::parse(run.out)["assets"][2]["status"], "missing") << run.out;
}

}  // namespace
