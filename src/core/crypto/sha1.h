// The hash layer: an abstract hash (TDCP_hash) and SHA-1 (TDCP_sha1), used to
// turn a passphrase into a cipher key.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolvan {

class TDCP_hash {
 public:
  virtual ~TDCP_hash() = default;
  TDCP_hash(const TDCP_hash&) = delete;
  TDCP_hash& operator=(const TDCP_hash&) = delete;

  const std::string& Algorithm() const { return algorithm_; }
  int HashSize() const { return hashSize_; }  // digest size in bits
  bool Initialized() const { return initialized_; }

  virtual void Init() = 0;
  virtual void Wipe() = 0;
  virtual void Update(const void* data, std::size_t size) = 0;
  // Writes HashSize()/8 bytes, then wipes: a new Init is needed before reuse.
  virtual void Final(void* digest) = 0;

  void UpdateString(std::string_view s) { Update(s.data(), s.size()); }

 protected:
  TDCP_hash(std::string algorithm, int hashSize)
      : algorithm_(std::move(algorithm)), hashSize_(hashSize) {}
  bool initialized_ = false;

 private:
  std::string algorithm_;
  int hashSize_;
};

class TDCP_sha1 final : public TDCP_hash {
 public:
  static constexpr int kDigestBytes = 20;

  TDCP_sha1();
  ~TDCP_sha1() override;

  void Init() override;
  void Wipe() override;
  void Update(const void* data, std::size_t size) override;
  void Final(void* digest) override;

 private:
  void Compress();

  std::uint32_t lenHi_ = 0, lenLo_ = 0;  // message length in bits
  int index_ = 0;                        // bytes waiting in buffer_ (0..63)
  std::uint32_t hash_[5] = {};
  unsigned char buffer_[64] = {};
};

// SHA-1 of a byte string, for callers that want the digest in one call.
std::string Sha1(std::string_view data);

}  // namespace tolvan
