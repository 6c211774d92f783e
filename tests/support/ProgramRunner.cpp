#include "support/ProgramRunner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>

namespace {
std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(fd, buffer, sizeof(buffer))) > 0;) text.append(buffer, static_cast<size_t>(n));
  return text;
}
}  // namespace

void ExecProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& cwd,
                 const std::map<std::string, std::string>& env) {
  if (chdir(cwd.c_str()) != 0) _exit(126);
  std::vector<std::string> env_text;
  for (const auto& [name, value] : env) env_text.push_back(name + "=" + value);
  std::vector<char*> envp, argv;
  for (std::string& entry : env_text) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string program_copy = program;
  argv.push_back(program_copy.data());
  std::vector<std::string> args = arguments;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  execve(program.c_str(), argv.data(), envp.data());
  _exit(127);
}

TProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments, const std::string& cwd,
                          const std::map<std::string, std::string>& env, const TRunLimits& limits,
                          const std::optional<std::string>& input) {
  char out_name[] = "/tmp/qm_out_XXXXXX";
  char err_name[] = "/tmp/qm_err_XXXXXX";
  int out = mkstemp(out_name);
  int err = mkstemp(err_name);
  if (out < 0 || err < 0) throw std::runtime_error("mkstemp failed");
  int feed[2] = {-1, -1};
  if (input && pipe2(feed, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    int in = input ? feed[0] : open("/dev/null", O_RDONLY);
    dup2(in, STDIN_FILENO);
    if (limits.FileSizeLimit >= 0) {
      signal(SIGXFSZ, SIG_IGN);  // an ignored signal stays ignored across exec
      struct rlimit limit = {static_cast<rlim_t>(limits.FileSizeLimit), static_cast<rlim_t>(limits.FileSizeLimit)};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
    }
    ExecProgram(program, arguments, cwd, env);
  }
  // Fed from a thread of its own, so that a program that stops reading
  // (or never starts) cannot block the wait below.
  std::thread feeder;
  if (input) {
    close(feed[0]);
    feeder = std::thread([fd = feed[1], &input] {
      signal(SIGPIPE, SIG_IGN);
      for (size_t done = 0; done < input->size();) {
        const ssize_t n = write(fd, input->data() + done, input->size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
      }
      close(fd);
    });
  }
  TProgramResult result;
  int status = 0;
  const auto started = std::chrono::steady_clock::now();
  const auto deadline = started + std::chrono::seconds(limits.TimeoutSeconds);
  const auto kill_at =
      limits.KillAfterMicroseconds < 0 ? deadline : started + std::chrono::microseconds(limits.KillAfterMicroseconds);
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > std::min(deadline, kill_at)) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    usleep(limits.KillAfterMicroseconds < 0 ? 500 : 50);
  }
  if (feeder.joinable()) feeder.join();
  result.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  lseek(out, 0, SEEK_SET);
  lseek(err, 0, SEEK_SET);
  result.Stdout = ReadAll(out);
  result.Stderr = ReadAll(err);
  close(out);
  close(err);
  unlink(out_name);
  unlink(err_name);
  return result;
}
