// Stops a repair at every step that writes, renames or removes a file, and checks at that
// very moment and afterwards that the source is untouched and the target either untouched
// or completely repaired.

#include "RepairFixture.h"

#include "platform/File.h"
#include "support/CrashLoop.h"

using namespace nota;

namespace {

CFileBuilder Damaged() {
    CFileBuilder b = SoundFile();
    b.AddBlock(0, 6, {'l', 'o', 's', 't', '!', 0});
    b.bytes.resize(b.bytes.size() + 17, 'p');
    return b;
}

} // namespace

class RepairCrashTest : public RepairTest {
protected:
    // Runs the repair once per step, stopping it at that step.
    void StopAtEveryStep(const std::string& source, const std::string& target,
                         const std::vector<BYTE>& sourceBytes,
                         const std::vector<BYTE>& targetBytes) {
        auto reset = [&] {
            WriteFileBytes(target, targetBytes);
            WriteFileBytes(source, sourceBytes);
        };
        reset();
        const int steps = CountFileSteps([&] { Run(source, target); });
        ASSERT_FALSE(aborted);
        const std::vector<BYTE> repaired = ReadFileBytes(target);
        ASSERT_NE(repaired, targetBytes);
        ASSERT_GT(steps, 5);

        auto sound = [&] {
            std::vector<BYTE> t = ReadFileBytes(target);
            bool targetOk = t == targetBytes || t == repaired;
            bool sourceOk = source == target || ReadFileBytes(source) == sourceBytes;
            return targetOk && sourceOk;
        };
        ::StopAtEveryStep(
            steps, CFileException::diskFull, reset, [&] { Run(source, target); }, sound,
            [&](int stop, bool soundAtStop) {
                EXPECT_TRUE(soundAtStop) << "at step " << stop;
                EXPECT_TRUE(sound()) << "after step " << stop;
            });
    }
};

TEST_F(RepairCrashTest, SourceAndTargetAreNeverLeftHalfWritten) {
    StopAtEveryStep(Source(), Target(), Damaged().bytes, std::vector<BYTE>(5000, 'T'));
}

TEST_F(RepairCrashTest, SourceAsTargetIsEitherOldOrRepaired) {
    std::vector<BYTE> bytes = Damaged().bytes;
    StopAtEveryStep(Source(), Source(), bytes, bytes);
}
